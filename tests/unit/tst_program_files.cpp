#include "branding/BrandingFile.h"
#include "branding/ProgramFiles.h"

#include <QtTest>

using namespace ignivex;

// Where the program finds its own files and its branding, in a build tree and in an installed
// tree, laid out under a temporary root with the program in root/bin.
class TestProgramFiles : public QObject {
    Q_OBJECT
private slots:
    void places_data();
    void places();
};

void TestProgramFiles::places_data() {
    QTest::addColumn<QStringList>("files");     // made under the root; a trailing / makes a folder
    QTest::addColumn<QString>("configDirs");    // XDG_CONFIG_DIRS, ROOT standing for the root
    QTest::addColumn<QStringList>("expected");  // program files, branding file, "logos/a.gif"
    const QString inst = QDir::cleanPath(QStringLiteral("bin/" IGNIVEX_FILES_FROM_BIN));
    const QString cfg = QStringLiteral("/ignivex-log/Ignivex_Log.cfg");
    const QStringList beside{"bin", "bin/Ignivex_Log.cfg", "bin/logos/a.gif"};
    auto row = [](const char* name, QStringList files, QString dirs, QStringList expected) {
        QTest::newRow(name) << files << dirs << expected;
    };
    row("build tree: help beside the program", {"bin/help/", inst + "/help/"}, "", beside);
    row("build tree: only the default logo beside", {"bin/Velmora_Sensors_Logo.gif", inst + "/"},
        "", beside);
    row("installed: a file named help beside is not the pages", {"bin/help", inst + "/logos/a.gif"},
        "", {inst, "bin/Ignivex_Log.cfg", inst + "/logos/a.gif"});
    row("neither: beside the program, where messages then point", {"bin/"}, "", beside);
    row("branding beside the program wins over the system's",
        {"bin/Ignivex_Log.cfg", "x1" + cfg, "x1/ignivex-log/logos/a.gif"}, "ROOT/x1", beside);
    row("a folder named like the branding file still counts (it is reported)",
        {"bin/Ignivex_Log.cfg/", "x1" + cfg}, "ROOT/x1", beside);
    row("first XDG folder that has one, logo beside it",
        {"bin/", "x2" + cfg, "x3" + cfg, "x2/ignivex-log/logos/a.gif", inst + "/logos/a.gif"},
        "ROOT/x1:ROOT/x2:ROOT/x3", {inst, "x2" + cfg, "x2/ignivex-log/logos/a.gif"});
    row("system branding, logo only among the program's files",
        {"bin/", "x1" + cfg, inst + "/logos/a.gif"}, "ROOT/x1",
        {inst, "x1" + cfg, inst + "/logos/a.gif"});
    row("system branding, logo nowhere: named beside the branding file",
        {"bin/", "x1" + cfg, inst + "/"}, "ROOT/x1",
        {inst, "x1" + cfg, "x1/ignivex-log/logos/a.gif"});
    row("relative and empty XDG entries are ignored", {"bin/", "rel" + cfg}, "rel::", beside);
}

void TestProgramFiles::places() {
    QFETCH(QStringList, files);
    QFETCH(QString, configDirs);
    QFETCH(QStringList, expected);
#ifdef Q_OS_WIN
    if (!configDirs.isEmpty())
        QSKIP("Windows has no system configuration folders: the branding file is the program's.");
#endif
    for (const char* system :
         {"/etc/ignivex-log/Ignivex_Log.cfg", "/etc/xdg/ignivex-log/Ignivex_Log.cfg"})
        if (QFileInfo::exists(QString::fromLatin1(system)))
            QSKIP("a system branding file exists on this machine and would take part");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    for (const QString& file : files) {
        const QString path = root + QLatin1Char('/') + file;
        QFile f(path);
        QVERIFY2(file.endsWith(QLatin1Char('/'))
                     ? QDir().mkpath(path)
                     : QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly),
                 qPrintable(path));
    }
    // Relative entries would resolve against the working folder: make them resolvable there.
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(root);
    qputenv("XDG_CONFIG_DIRS", QString(configDirs).replace("ROOT", root).toLocal8Bit());
    const QString program = root + QStringLiteral("/bin");
    const QStringList got{programFilesFolder(program), brandingFilePath(program),
                          logoPath(program, QStringLiteral("logos/a.gif"))};
    QDir::setCurrent(oldCwd);
    qunsetenv("XDG_CONFIG_DIRS");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QDir::cleanPath(got[i]), root + QLatin1Char('/') + expected[i]);
}

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_program_files.moc"
