// The real main window and the real serial layer against the module simulator: the live view
// shows the module's values converted, and an unplugged module ends the view with a message
// instead of a hang.
#include "acquire/Acquisition.h"
#include "display/RealTimePanel.h"
#include "display/PortSetupPanel.h"
#include "support/Pty.h"
#include "link/Scaling.h"
#include "support/ScriptedRecordPrompts.h"
#include "support/SimRigs.h"
#include "app/RecordingControl.h"
#include "record/RecordFormat.h"

#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);

struct App : AppRig {
    ScriptedRecordPrompts prompts;
    explicit App(const QStringList& values)
        : AppRig(QStringLiteral(IGNIVEX_SIM), 1, values, QStringLiteral(IGNIVEX_BIN_DIR),
                 &prompts) {
        window.Show();
    }
    RealTimePanel& panel() { return *window.fraRealTimeData(); }
    QList<QColor> lamps() {
        return {panel().shpLED_GPI1->fillColor(), panel().shpLED_GPI2->fillColor(),
                panel().shpLED_GPI3->fillColor()};
    }
};

// Saves the window as the user sees it, at a device pixel ratio, when screenshots are asked for.
void screenshot(QWidget& window, const QString& name, qreal ratio) {
    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QPixmap pixmap(window.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(window.palette().window().color());
    window.render(&pixmap);
    QVERIFY(pixmap.save(dir + QLatin1Char('/') + name));
}
}  // namespace

class TestAppEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void portSetupOnAFreshStart();
    void liveViewShowsTheModulesValues_data();
    void liveViewShowsTheModulesValues();
    void unpluggedModuleEndsTheView();
    void recordingAsFastAsTheLinkAllows();
    void fileArgumentFromTheStartFolder();
};

void TestAppEndToEnd::portSetupOnAFreshStart() {
    App app({});
    QVERIFY(app.sim.ok());
    app.window.mnuPortSetup_Click();
    QCOMPARE(app.window.fraPortSelect()->cboPort->currentText(), QStringLiteral("Com1"));
    QCOMPARE(app.window.fraPortSelect()->cboPort->itemData(0, Qt::ToolTipRole).toString(),
             QStringLiteral("Com1: %1 (linked, present)").arg(app.sim.device()));
    QCOMPARE(app.config.stored(), QStringLiteral("1"));
    QVERIFY(!app.port.portOpen());
    screenshot(app.window, QStringLiteral("main-port-setup.png"), 1);
}

void TestAppEndToEnd::liveViewShowsTheModulesValues_data() {
    QTest::addColumn<int>("bat");
    QTest::addColumn<QString>("band");
    QTest::newRow("battery in the black band") << 0xC4 << "black";
    QTest::newRow("battery in the red band") << 0x90 << "red";
}

void TestAppEndToEnd::liveViewShowsTheModulesValues() {
    QFETCH(int, bat);
    QFETCH(QString, band);
    App app({"--rpm-count", "1250", "--map", "0x80", "--bat", QString::number(bat), "--adv", "0x80",
             "--gpi", "0x14", "--gpi3", "0x66", "--status", "0x05"});
    QVERIFY(app.sim.ok());
    app.window.mnuViewRealTime_Click();
    QCOMPARE(app.boxes.count(), 0);
    QCOMPARE(app.state.firmwareId, QStringLiteral("IGX-2 V1.10"));
    QVERIFY(app.state.viewActive);

    // The window's own timer polls; wait for the first full tick.
    RealTimePanel& p = app.panel();
    QTRY_COMPARE(p.gauTach->caption(), QStringLiteral("3000"));
    QTRY_COMPARE(p.gauAdv->pointerValue(), double(scaling::advance(0x80)));
    QCOMPARE(p.gauTach->value(), 3.0);
    QCOMPARE(p.gauMAP->pointerValue(), 17.0);
    QCOMPARE(p.gauBatVolts->pointerValue(), double(scaling::battery(std::uint8_t(bat))));
    QCOMPARE(p.gauGPI3A->pointerValue(), double(scaling::gpi3(0x66)));
    QCOMPARE(app.lamps(), QList<QColor>({kBlack, kRed, kBlack}));
    const int bandIndex = p.gauBatVolts->bandIndexAt(p.gauBatVolts->pointerValue());
    QCOMPARE(p.gauBatVolts->bands().at(bandIndex).color, band == "red" ? kRed : kBlack);
    QCOMPARE(app.boxes.count(), 0);

    screenshot(app.window, QStringLiteral("live-1x-battery-%1.png").arg(band), 1);
    screenshot(app.window, QStringLiteral("live-2x-battery-%1.png").arg(band), 2);
}

void TestAppEndToEnd::unpluggedModuleEndsTheView() {
    App app({});
    app.window.mnuViewRealTime_Click();
    QTRY_VERIFY(!app.panel().gauTach->caption().isEmpty());
    QVERIFY(app.sim.command("hangup").startsWith("ok"));
    // The next tick cannot reach the module: one prompt (answered Abort), and the view closes.
    QTRY_VERIFY(!app.state.viewActive);
    QCOMPARE(app.boxes.count(), 1);
    QVERIFY2(app.boxes.shown[0].text.contains("Com1"), qPrintable(app.boxes.shown[0].text));
    QVERIFY(!app.panel().isVisible());
    QCOMPARE(app.lamps(), QList<QColor>({kRed, kRed, kRed}));
    QVERIFY(!app.port.portOpen());
    // With the view closed, the timer's ticks do nothing and the process sleeps.
    const double cpu = processCpuMs();
    QTest::qWait(1500);
    const double used = processCpuMs() - cpu;
    qInfo("CPU over 1.5 s after the view closed: %.1f ms", used);
    QVERIFY2(!spun(used, 1500), "the program spun after the module was unplugged");
    QCOMPARE(app.boxes.count(), 1);
}

// The window records every tick at the link's pace, shows REC with its figures, and leaves a
// complete file when stopped.
void TestAppEndToEnd::recordingAsFastAsTheLinkAllows() {
    App app({"--engine", "--paced"});
    app.prompts.path = app.config.path() + "/run.csv";
    app.prompts.chosenRate = Rate{0};
    app.window.recording().mnuRecord_Click();
    QVERIFY(app.window.recording().recording());
    RecordingIndicator& rec = *app.panel().recordingIndicator;
    QTRY_VERIFY_WITH_TIMEOUT(rec.samples() >= 60 && rec.rate() > 0, 10000);
    screenshot(app.window, QStringLiteral("live-recording.png"), 1);
    app.window.recording().mnuStopRecording_Click();
    // Only the report of the saved file, with its offer of a workbook (declined).
    QCOMPARE(app.boxes.count(), 1);
    QVERIFY(app.boxes.shown[0].text.startsWith(QStringLiteral("Recorded ")));
    QFile f(*app.prompts.path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().split('\n');
    QVERIFY(lines.takeLast().isEmpty());  // ends with a whole row
    while (!record::isHeaderRow(lines.takeFirst())) {
    }
    QVERIFY(lines.size() >= 60);
    for (const QByteArray& line : lines)
        QVERIFY2(record::parseRow(line), line.constData());
}

// The real program started in a folder of its own with a recording named relatively: it is read
// from that folder (an empty file there says so), not from the program's own folder, which the
// window's load makes the current one.
void TestAppEndToEnd::fileArgumentFromTheStartFolder() {
    QTemporaryDir start, config;
    QVERIFY(QDir(start.path()).mkpath("rec"));
    QFile empty(start.filePath("rec/run.csv"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_LOGGING_RULES", "ignivex.boxes.info=true");
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(start.path());
    app.start(QStringLiteral(IGNIVEX_APP), {"rec/run.csv"});
    QVERIFY(app.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += app.readAllStandardError()).contains("message box:"), 20000);
    app.kill();
    app.waitForFinished();
    const QString expected = QStringLiteral("\"%1\" is empty").arg(start.filePath("rec/run.csv"));
    QVERIFY2(QString::fromLocal8Bit(said).contains(expected), said.constData());
}

QTEST_MAIN(TestAppEndToEnd)
#include "tst_app_e2e.moc"
