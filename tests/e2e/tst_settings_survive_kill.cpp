// A pick in the port list must be on disk before the handler returns: a run killed right after
// it (power cut, SIGKILL) starts next time with that port.
#include "support/MainHarness.h"
#include "display/PortSetupPanel.h"

#include <QProcess>
#include <QtTest>
#include <csignal>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const char* const kChildFlag = "--pick-and-die";

// The child: load the main window, pick an entry, and die at once without any clean-up.
int pickAndDie(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int entry = QString::fromLatin1(argv[2]).toInt();
    MainHarness h;
    h.show();
    PortList* list = h.w().fraPortSelect()->cboPort;
    list->setCurrentIndex(entry);
    emit list->activated(entry);
    ::raise(SIGKILL);
    return 3;  // not reached
}
}  // namespace

class TestSettingsSurviveKill : public QObject {
    Q_OBJECT
private slots:
    void pickSurvivesKill_data();
    void pickSurvivesKill();
};

void TestSettingsSurviveKill::pickSurvivesKill_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Com3") << 2 << "Com3";
    QTest::newRow("Com255") << 254 << "Com255";
}

void TestSettingsSurviveKill::pickSurvivesKill() {
    QFETCH(int, entry);
    QFETCH(QString, expected);
    IsolatedConfig config;
    config.store(QStringLiteral("1"));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kChildFlag), QString::number(entry)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    MainHarness next;
    next.show();
    QCOMPARE(next.w().fraPortSelect()->cboPort->currentText(), expected);
    QCOMPARE(next.w().link().portNumber, entry + 1);
}

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], kChildFlag) == 0)
        return pickAndDie(argc, argv);
    QApplication app(argc, argv);
    TestSettingsSurviveKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_survive_kill.moc"
