#include "support/MainHarness.h"
#include "display/PortSetupPanel.h"
#include "display/RealTimePanel.h"
#include "review/RecentRecordings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace ignivex;
using namespace ignivex::test;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { config_ = std::make_unique<IsolatedConfig>(); }
    void cleanup() { config_.reset(); }
    void recentRecordings();

    void firstRunStoresComOneAndOpensNothing();
    void storedSetting_data();
    void storedSetting();
    void settingsFile_data();
    void settingsFile();
    void abortAtConversionLeavesListEmpty();
    void retryAtConversionReadsAgain();
    void serialSettingsReachThePortInOrder();
    void selectionPersistsAndClosesAnOpenPort();
    void listHas255EntriesWithDeviceToolTips();
    void escSetsFlagWithFocusInPortList();
    void otherKeysLeaveFlag();
    void menuCaptionsAndOrder();
    void closing_data();
    void closing();
    void portSetupShowsAndOkHides();
    void windowHasFixedClientArea();

private:
    std::unique_ptr<IsolatedConfig> config_;
};

void TestMainWindow::firstRunStoresComOneAndOpensNothing() {
    MainHarness h;
    QVERIFY(!config_->hasStored());
    h.show();
    QCOMPARE(h.boxes.count(), 0);
    QCOMPARE(h.w().link().portNumber, 1);
    QCOMPARE(h.w().fraPortSelect()->cboPort->currentText(), QStringLiteral("Com1"));
    QCOMPARE(config_->stored(), QStringLiteral("1"));
    QCOMPARE(h.port.opens, 0);
    QVERIFY(!h.port.portOpen());
    QVERIFY(!h.w().fraRealTimeData()->isVisible());
    QVERIFY(!h.w().fraPortSelect()->isVisible());
    QCOMPARE(h.state.mapRangeCode, 1);
    QCOMPARE(h.state.commErrorCount, 0);
    QVERIFY(!h.state.viewActive);
    QVERIFY(h.w().tmrDataRead()->isActive());
    QCOMPARE(h.w().tmrDataRead()->interval(), 500);
}

// What the load makes of the stored text: the port number, the list's selection, the prompt.
void TestMainWindow::storedSetting_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("storedAfter");

    const int none = 0;
    QTest::newRow("12") << "12" << none << 12 << "Com12"
                        << ""
                        << "12";
    QTest::newRow("255") << "255" << none << 255 << "Com255"
                         << ""
                         << "255";
    QTest::newRow("blanks around") << " 7 " << none << 7 << "Com7"
                                   << ""
                                   << "7";
    QTest::newRow("abc, ignored")
        << "abc" << int(box::Ignore) << 0 << ""
        << "The stored port setting \"abc\" is not a whole number. "
           "Click Ignore, then choose the port again under Communications, Port Setup."
        << "abc";
    QTest::newRow("fraction, ignored")
        << "3.5" << int(box::Ignore) << 0 << ""
        << "The stored port setting \"3.5\" is not a whole number. "
           "Click Ignore, then choose the port again under Communications, Port Setup."
        << "3.5";
    QTest::newRow("beyond 16 bits, ignored")
        << "40000" << int(box::Ignore) << 0 << ""
        << "The stored port setting \"40000\" is out of range. Click Ignore, then choose the port "
           "again under "
           "Communications, Port Setup."
        << "40000";
    QTest::newRow("5000 digits: out of range, the value cut short")
        << QString(5000, '7') << int(box::Ignore) << 0 << ""
        << "The stored port setting \"" + QString(99, '7') + QChar(0x2026) +
               "\" is out of range. Click Ignore, then choose the port again under Communications, "
               "Port Setup."
        << QString(5000, '7');
    QTest::newRow("0 selects nothing") << "0" << none << 0 << ""
                                       << ""
                                       << "0";
    QTest::newRow("256 names no entry, ignored")
        << "256" << int(box::Ignore) << 256 << ""
        << "The stored port number 256 names no port in the list (Com1 to Com255). Click Ignore, "
           "then choose the "
           "port again under Communications, Port Setup."
        << "256";
    QTest::newRow("negative names no entry, ignored")
        << "-4" << int(box::Ignore) << -4 << ""
        << "The stored port number -4 names no port in the list (Com1 to Com255). Click Ignore, "
           "then choose the "
           "port again under Communications, Port Setup."
        << "-4";
}

void TestMainWindow::storedSetting() {
    QFETCH(QString, stored);
    QFETCH(int, answer);
    QFETCH(int, portNumber);
    QFETCH(QString, selected);
    QFETCH(QString, prompt);
    QFETCH(QString, storedAfter);

    config_->store(stored);
    MainHarness h;
    if (answer)
        h.boxes.answer({answer});
    h.show();

    QCOMPARE(h.w().link().portNumber, portNumber);
    QCOMPARE(h.w().fraPortSelect()->cboPort->currentText(), selected);
    QCOMPARE(h.w().fraPortSelect()->cboPort->currentIndex(),
             selected.isEmpty() ? -1 : portNumber - 1);
    QCOMPARE(h.w().fraPortSelect()->cboPort->count(), 255);
    QCOMPARE(h.boxes.texts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
    if (!prompt.isEmpty()) {
        QCOMPARE(h.boxes.shown[0].style, 18);
        QCOMPARE(h.boxes.shown[0].title, QStringLiteral("Error"));
    }
    QCOMPARE(config_->stored(), storedAfter);
    // The load goes on after Ignore: the serial control is configured and MAP range is 1.
    QVERIFY(h.port.log.contains(QStringLiteral("Settings=56000,N,8,1")));
    QCOMPARE(h.state.mapRangeCode, 1);
    QCOMPARE(h.port.opens, 0);
}

// A settings file that is not what it should be: what the load says, and what a pick of Com3
// makes of it. "@" stands for the settings file.
void TestMainWindow::settingsFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("prompt");      // the start of the load's prompt, empty for none
    QTest::addColumn<QString>("pickPrompt");  // the start of the pick's prompt, empty for none

    QTest::newRow("junk")
        << "junk"
        << "The settings file @ could not be read: it is not in the settings format"
        << "";
    QTest::newRow("junk among readable settings: they are kept")
        << "kept"
        << "The settings file @ could not be read: it is not in the settings format"
        << "";
    QTest::newRow("too large") << "large"
                               << "The settings file @ is 70023 bytes long, far more than the few "
                                  "settings it holds, so it was not read."
                               << "";
    QTest::newRow("a folder of that name") << "folder"
                                           << "The settings file @ is not a plain file"
                                           << "The settings file @ is not a plain file";
    QTest::newRow("a link to a file elsewhere: written through") << "link"
                                                                 << ""
                                                                 << "";
}

void TestMainWindow::settingsFile() {
#ifdef Q_OS_WIN
    QSKIP("On Windows the setting lives in the registry, not in a file.");
#endif
    QFETCH(QString, kind);
    QFETCH(QString, prompt);
    QFETCH(QString, pickPrompt);
    const QString file = config_->settingsFile();
    const QString elsewhere = config_->path() + "/elsewhere.conf";
    QDir().mkpath(QFileInfo(file).path());
    if (kind == "junk" || kind == "large" || kind == "kept") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kind == "junk"   ? QByteArray("\x01\x02 junk [[[ no setting here\n")
                : kind == "kept" ? QByteArray("[Recording]\nFolder=/data/runs\n\x01 junk\n[Charts\n"
                                              "Rate=max\n[Properties]\nCommPort=4\n[Charts]\n"
                                              "Strips=\"rpm;advance+map@0:40\"\n")
                                 : "[Properties]\nCommPort=" + QByteArray(70000, '7') + "\n");
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(file));
    } else {
        QFile f(elsewhere);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Properties]\nCommPort=4\n");
        f.close();
        QVERIFY(QFile::link(elsewhere, file));
    }
    prompt.replace('@', file);
    pickPrompt.replace('@', file);

    MainHarness h;
    h.boxes.answer({box::Ignore, box::Ignore});
    h.show();
    QCOMPARE(h.boxes.count(), prompt.isEmpty() ? 0 : 1);
    if (!prompt.isEmpty())
        QVERIFY2(h.boxes.shown[0].text.startsWith(prompt), qPrintable(h.boxes.shown[0].text));

    PortList* list = h.w().fraPortSelect()->cboPort;
    list->setCurrentIndex(2);
    emit list->activated(2);
    QCOMPARE(h.boxes.count(), (prompt.isEmpty() ? 0 : 1) + (pickPrompt.isEmpty() ? 0 : 1));
    if (!pickPrompt.isEmpty())
        QVERIFY2(h.boxes.shown.last().text.startsWith(pickPrompt),
                 qPrintable(h.boxes.shown.last().text));
    if (kind == "folder") {
        QVERIFY(QFileInfo(file).isDir());
        return;
    }
    // Mended, every readable setting kept, or written through the link that stays a link.
    QCOMPARE(QFileInfo(file).isSymLink(), kind == "link");
    if (kind == "kept") {
        const QSettings mended(file, QSettings::IniFormat);
        QStringList kept;
        for (const QString& key : mended.allKeys())
            kept << key + "=" + mended.value(key).toString();
        QCOMPARE(kept, QStringList({"Charts/Strips=rpm;advance+map@0:40", "Properties/CommPort=3",
                                    "Recording/Folder=/data/runs", "Recording/Rate=max"}));
        return;
    }
    QFile written(kind == "link" ? elsewhere : file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("[Properties]\nCommPort=3\n"));
}

void TestMainWindow::abortAtConversionLeavesListEmpty() {
    config_->store(QStringLiteral("abc"));
    MainHarness h;
    h.boxes.answer({box::Abort});
    h.show();
    QCOMPARE(h.boxes.count(), 1);
    QCOMPARE(h.w().fraPortSelect()->cboPort->count(), 0);
    QVERIFY(h.port.log.isEmpty());  // the control keeps its built-in settings
    QCOMPARE(h.state.mapRangeCode, 0);
    QVERIFY(h.w().isVisible());
    QCOMPARE(config_->stored(), QStringLiteral("abc"));
}

void TestMainWindow::retryAtConversionReadsAgain() {
    config_->store(QStringLiteral("abc"));
    MainHarness h;
    // The user mends the setting while the prompt is open, then chooses Retry.
    h.boxes.onShow = [this](const ScriptedBoxes::Shown&) { config_->store(QStringLiteral("9")); };
    h.boxes.answer({box::Retry});
    h.show();
    QCOMPARE(h.boxes.count(), 1);
    QCOMPARE(h.w().link().portNumber, 9);
    QCOMPARE(h.w().fraPortSelect()->cboPort->currentText(), QStringLiteral("Com9"));
}

void TestMainWindow::serialSettingsReachThePortInOrder() {
    MainHarness h;
    h.show();
    QCOMPARE(h.port.log,
             QStringList({"Settings=56000,N,8,1", "NullDiscard=false", "RThreshold=1", "InputLen=1",
                          "DTREnable=true", "RTSEnable=false", "InBufferSize=256"}));
}

void TestMainWindow::selectionPersistsAndClosesAnOpenPort() {
    MainHarness h;
    h.show();
    h.port.setPortOpen(true);
    PortList* list = h.w().fraPortSelect()->cboPort;
    list->setCurrentIndex(2);
    emit list->activated(2);
    QCOMPARE(h.w().link().portNumber, 3);
    QCOMPARE(config_->stored(), QStringLiteral("3"));
    QVERIFY(!h.port.portOpen());
    QCOMPARE(h.port.closes, 1);

    // Picking with the port closed just stores; the next exchange opens the new port.
    list->setCurrentIndex(11);
    emit list->activated(11);
    QCOMPARE(config_->stored(), QStringLiteral("12"));
    QCOMPARE(h.port.closes, 1);
    h.w().link().ReadStatus();
    QVERIFY(h.port.log.contains(QStringLiteral("CommPort=12")));

    // The next run starts with the last pick.
    MainHarness next;
    next.show();
    QCOMPARE(next.w().fraPortSelect()->cboPort->currentText(), QStringLiteral("Com12"));
}

void TestMainWindow::listHas255EntriesWithDeviceToolTips() {
#ifdef Q_OS_WIN
    // The system's serial map as a driver fills it, with one port of the test's own.
    HKEY key = nullptr;
    QCOMPARE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                             REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr),
             LONG(ERROR_SUCCESS));
    const wchar_t device[] = L"\\Device\\TestSerial4";
    const auto cleanup = qScopeGuard([&] {
        RegDeleteValueW(key, device);
        RegCloseKey(key);
    });
    const wchar_t com5[] = L"COM5";
    QCOMPARE(
        RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(com5), sizeof com5),
        LONG(ERROR_SUCCESS));
    MainHarness h;
    h.show();
    PortList* list = h.w().fraPortSelect()->cboPort;
    QCOMPARE(list->count(), 255);
    QCOMPARE(list->itemData(4, Qt::ToolTipRole).toString(),
             QStringLiteral("Com5: COM5 (\\Device\\TestSerial4, present)"));
    QCOMPARE(list->itemData(199, Qt::ToolTipRole).toString(),
             QStringLiteral("Com200: COM200 (not present)"));
#else
    QDir().mkpath(config_->portsFolder());
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), config_->portsFolder() + "/Com5"));
    MainHarness h;
    h.show();
    PortList* list = h.w().fraPortSelect()->cboPort;
    QCOMPARE(list->count(), 255);
    QCOMPARE(list->itemText(0), QStringLiteral("Com1"));
    QCOMPARE(list->itemText(99), QStringLiteral("Com100"));
    QCOMPARE(list->itemText(254), QStringLiteral("Com255"));
    QCOMPARE(list->itemData(4, Qt::ToolTipRole).toString(),
             QStringLiteral("Com5: /dev/null (linked, present)"));
    QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().startsWith("Com1: /dev/ttyS0 ("));
    // A link made while the program runs shows the next time the list drops down.
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB9"), config_->portsFolder() + "/Com7"));
    list->refreshToolTips();
    QCOMPARE(list->itemData(6, Qt::ToolTipRole).toString(),
             QStringLiteral("Com7: /nonexistent/ttyUSB9 (linked, target missing)"));
#endif
}

void TestMainWindow::escSetsFlagWithFocusInPortList() {
    MainHarness h;
    h.show();
    h.w().mnuPortSetup_Click();
    PortList* list = h.w().fraPortSelect()->cboPort;
    list->setFocus();
    QVERIFY(!h.state.escape);
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(h.state.escape);
    // The key still reaches the list: it is not eaten by the window.
    h.state.escape = false;
    QTest::keyClick(h.w().fraPortSelect()->cmdPortSelectOK, Qt::Key_Escape);
    QVERIFY(h.state.escape);
}

void TestMainWindow::otherKeysLeaveFlag() {
    MainHarness h;
    h.show();
    QTest::keyClick(&h.w(), Qt::Key_A);
    QTest::keyClick(&h.w(), Qt::Key_Return);
    QVERIFY(!h.state.escape);
    std::int16_t key = 27;
    h.w().Form_KeyPress(key);
    QVERIFY(h.state.escape);
    QCOMPARE(key, std::int16_t(27));
}

void TestMainWindow::menuCaptionsAndOrder() {
    MainHarness h;
    h.show();
    QStringList seen;
    auto accessKey = [](const QString& text) { return text.at(text.indexOf('&') + 1).toLower(); };
    QList<QChar> bar;
    for (QAction* menu : h.w().menuBar()->actions()) {
        seen << menu->objectName() + "=" + menu->text();
        QVERIFY2(!bar.contains(accessKey(menu->text())), qPrintable(menu->text()));
        bar << accessKey(menu->text());
        QList<QChar> keys;
        for (QAction* item : menu->menu()->actions()) {
            seen << item->objectName() + "=" + item->text();
            if (item->isSeparator())
                continue;
            QVERIFY2(!keys.contains(accessKey(item->text())), qPrintable(item->text()));
            keys << accessKey(item->text());
            // The items of the window's own design have none; the recordings' items and Help
            // have the platform's usual keys.
            static const QMap<QString, QKeySequence> shortcuts = {
                {"mnuOpenRecording", QKeySequence::Open},
                {"mnuRecord", QKeySequence("Ctrl+R")},
                {"mnuStopRecording", QKeySequence("Ctrl+T")},
                {"mnuMark", QKeySequence("Ctrl+M")},
                {"mnuMarkWithNote", QKeySequence("Ctrl+Shift+M")},
                {"mnuHelpContents", QKeySequence::HelpContents}};
            QCOMPARE(item->shortcut(), shortcuts.value(item->objectName()));
            QVERIFY(item->isEnabled());
            QVERIFY(!item->isCheckable());
        }
    }
    QCOMPARE(seen, QStringList({"mnuFile=&File", "mnuOpenRecording=&Open Recording\u2026",
                                "mnuRecentRecordings=Recent Recor&dings",
                                "mnuLibrary=&Library\u2026", "mnuRecord=&Record\u2026",
                                "mnuStopRecording=S&top Recording", "mnuMark=&Mark",
                                "mnuMarkWithNote=Mark with &Note\u2026", "mnuAlarms=&Alarms\u2026",
                                "=", "mnuExit=E&xit",
                                "mnuView=&View", "mnuViewRealTime=View &Real Time Data",
                                "mnuViewChart=&Chart", "mnuViewDashboard=&Dashboard", "mnuCommunications=&Communications",
                                "mnuPortSetup=&Port Setup", "mnuHelp=&Help",
                                "mnuHelpContents=&Contents", "mnuAbout=&About"}));
    QCOMPARE(h.w().windowTitle(), QStringLiteral("Ignivex Data Logging Program Version 1.1"));
}

// File's list of recent recordings: newest first, each once, at most eight, named by file.
void TestMainWindow::recentRecordings() {
    MainHarness h;
    h.show();
    for (int i = 0; i < 10; ++i)
        chart::recent_recordings::add(QStringLiteral("/tmp/r%1.csv").arg(i));
    chart::recent_recordings::add(QStringLiteral("/tmp/r5.csv"));
    const QStringList list = chart::recent_recordings::list();
    auto at = [](const char* path) {
        return QFileInfo(QString::fromLatin1(path)).absoluteFilePath();
    };
    QCOMPARE(list.size(), 8);
    QCOMPARE(list.mid(0, 3),
             QStringList({at("/tmp/r5.csv"), at("/tmp/r9.csv"), at("/tmp/r8.csv")}));
    QCOMPARE(list.count(at("/tmp/r5.csv")), 1);
    auto* menu = h.w().findChild<QMenu*>("mnuRecentRecordings");
    QVERIFY(menu);
    emit menu->aboutToShow();
    QCOMPARE(menu->actions().size(), 8);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("&1 r5.csv"));
    QCOMPARE(menu->actions().first()->toolTip(), QDir::toNativeSeparators(at("/tmp/r5.csv")));
}

void TestMainWindow::closing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("portWasOpen");
    QTest::newRow("close box, port open") << "close" << true;
    QTest::newRow("close box, port closed") << "close" << false;
    QTest::newRow("File, Exit, port open") << "exit" << true;
    QTest::newRow("File, Exit, port closed") << "exit" << false;
}

void TestMainWindow::closing() {
    QFETCH(QString, how);
    QFETCH(bool, portWasOpen);
    MainHarness h;
    h.show();
    if (portWasOpen)
        h.port.setPortOpen(true);
    const int closesBefore = h.port.closes;
    if (how == "exit")
        h.w().findChild<QAction*>("mnuExit")->trigger();
    else
        h.w().close();
    QCOMPARE(h.ended, 1);
    QVERIFY(!h.port.portOpen());
    QCOMPARE(h.port.closes - closesBefore, portWasOpen ? 1 : 0);
}

void TestMainWindow::portSetupShowsAndOkHides() {
    MainHarness h;
    h.show();
    h.w().findChild<QAction*>("mnuPortSetup")->trigger();
    QVERIFY(h.w().fraPortSelect()->isVisible());
    QCOMPARE(h.w().fraPortSelect()->title(), QStringLiteral("Data Port Setup"));
    // Stacked above the real-time panel.
    QWidget* client = h.w().centralWidget();
    QCOMPARE(client->children().indexOf(h.w().fraPortSelect()) >
                 client->children().indexOf(h.w().fraRealTimeData()),
             true);
    const QString stored = config_->stored();
    QTest::mouseClick(h.w().fraPortSelect()->cmdPortSelectOK, Qt::LeftButton);
    QVERIFY(!h.w().fraPortSelect()->isVisible());
    QCOMPARE(config_->stored(), stored);  // OK neither applies nor stores anything
}

void TestMainWindow::windowHasFixedClientArea() {
    MainHarness h;
    h.show();
    QCOMPARE(h.w().centralWidget()->size(), QSize(599, 414));
    QCOMPARE(h.w().minimumSize(), h.w().maximumSize());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
