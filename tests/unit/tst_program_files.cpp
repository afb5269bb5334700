#include "branding/BrandingFile.h"
#include "branding/ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    QTest::addColumn<QString>("programFiles");  // expected, relative to the root
    QTest::addColumn<QString>("branding");
    QTest::addColumn<QString>("logo");          // where "logos/a.gif" is taken from

    const QString installed = QDir::cleanPath(QStringLiteral("bin/" IGNIVEX_FILES_FROM_BIN));
    const QString cfg = QStringLiteral("/ignivex-log/Ignivex_Log.cfg");
    QTest::newRow("build tree: help beside the program")
        << QStringList{"bin/help/", installed + "/help/"} << "" << "bin"
        << "bin/Ignivex_Log.cfg" << "bin/logos/a.gif";
    QTest::newRow("build tree: only the default logo beside")
        << QStringList{"bin/Velmora_Sensors_Logo.gif", installed + "/"} << "" << "bin"
        << "bin/Ignivex_Log.cfg" << "bin/logos/a.gif";
    QTest::newRow("installed: a file named help beside is not the pages")
        << QStringList{"bin/help", installed + "/logos/a.gif"} << "" << installed
        << "bin/Ignivex_Log.cfg" << installed + "/logos/a.gif";
    QTest::newRow("neither: beside the program, where messages then point")
        << QStringList{"bin/"} << "" << "bin" << "bin/Ignivex_Log.cfg" << "bin/logos/a.gif";
    QTest::newRow("branding beside the program wins over the system's")
        << QStringList{"bin/Ignivex_Log.cfg", "x1" + cfg, "x1/ignivex-log/logos/a.gif"}
        << "ROOT/x1" << "bin" << "bin/Ignivex_Log.cfg" << "bin/logos/a.gif";
    QTest::newRow("a folder named like the branding file still counts (it is reported)")
        << QStringList{"bin/Ignivex_Log.cfg/", "x1" + cfg} << "ROOT/x1" << "bin"
        << "bin/Ignivex_Log.cfg" << "bin/logos/a.gif";
    QTest::newRow("first XDG folder that has one, logo beside it")
        << QStringList{"bin/", "x2" + cfg, "x3" + cfg, "x2/ignivex-log/logos/a.gif",
                       installed + "/logos/a.gif"}
        << "ROOT/x1:ROOT/x2:ROOT/x3" << installed << "x2" + cfg << "x2/ignivex-log/logos/a.gif";
    QTest::newRow("system branding, logo only among the program's files")
        << QStringList{"bin/", "x1" + cfg, installed + "/logos/a.gif"} << "ROOT/x1" << installed
        << "x1" + cfg << installed + "/logos/a.gif";
    QTest::newRow("system branding, logo nowhere: named beside the branding file")
        << QStringList{"bin/", "x1" + cfg, installed + "/"} << "ROOT/x1" << installed
        << "x1" + cfg << "x1/ignivex-log/logos/a.gif";
    QTest::newRow("relative and empty XDG entries are ignored")
        << QStringList{"bin/", "rel" + cfg} << "rel::" << "bin" << "bin/Ignivex_Log.cfg"
        << "bin/logos/a.gif";
}

void TestProgramFiles::places() {
    QFETCH(QStringList, files);
    QFETCH(QString, configDirs);
    QFETCH(QString, programFiles);
    QFETCH(QString, branding);
    QFETCH(QString, logo);
    for (const char* system : {"/etc/ignivex-log/Ignivex_Log.cfg", "/etc/xdg/ignivex-log/Ignivex_Log.cfg"})
        if (QFileInfo::exists(QString::fromLatin1(system)))
            QSKIP("a system branding file exists on this machine and would take part");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    for (const QString& file : files) {
        const QString path = root + QLatin1Char('/') + file;
        if (file.endsWith(QLatin1Char('/'))) {
            QVERIFY2(QDir().mkpath(path), qPrintable(path));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile f(path);
            QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
        }
    }
    // Relative entries would resolve against the working folder: make them resolvable there.
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(root);
    qputenv("XDG_CONFIG_DIRS", QString(configDirs).replace("ROOT", root).toLocal8Bit());

    const QString program = root + QStringLiteral("/bin");
    const QString gotFiles = programFilesFolder(program);
    const QString gotBranding = brandingFilePath(program);
    const QString gotLogo = logoPath(program, QStringLiteral("logos/a.gif"));
    QDir::setCurrent(oldCwd);
    qunsetenv("XDG_CONFIG_DIRS");

    QCOMPARE(QDir::cleanPath(gotFiles), root + QLatin1Char('/') + programFiles);
    QCOMPARE(QDir::cleanPath(gotBranding), root + QLatin1Char('/') + branding);
    QCOMPARE(QDir::cleanPath(gotLogo), root + QLatin1Char('/') + logo);
}

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_program_files.moc"
