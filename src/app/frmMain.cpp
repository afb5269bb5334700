#include "app/frmMain.h"

#include "acquire/Acquisition.h"
#include "acquire/ModuleRun.h"
#include "app/RecordPrompts.h"
#include "app/LibraryLink.h"
#include "app/RecordingControl.h"
#include "display/PanelFeed.h"
#include "branding/About.h"
#include "app/ChartWindows.h"
#include "app/DashboardWiring.h"
#include "replay/PanelReplay.h"
#include "app/AppIcon.h"
#include "base/AppIdentity.h"
#include "recovery/CommError.h"
#include "branding/HelpWindow.h"
#include "review/RecentRecordings.h"
#include "link/ModuleLine.h"
#include "link/PortMapper.h"
#include "link/PortSettings.h"
#include "display/PortSetupPanel.h"
#include "display/RealTimePanel.h"
#include "display/RealTimeView.h"
#include "base/MessageText.h"
#include "recovery/Recovery.h"
#include "base/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>

namespace ignivex {

namespace {
constexpr int kPollIntervalMs = 500;
constexpr int kPortCount = 255;
const char* const kCaption = "Ignivex Data Logging Program Version 1.1";
}  // namespace

frmMain::frmMain(Services services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      link_(services_.port, services_.clock, services_.boxes, services_.state),
      commEvents_(services_.port, services_.boxes, services_.state) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(appIcon());
    QFont font(QStringLiteral("System"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    setFont(font);

    buildMenus();
    // The window font is for the panels; the menu bar keeps the platform's menu font.
    menuBar()->setFont(QApplication::font(menuBar()));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(8985), twips(6210));
    setCentralWidget(client);
    fraRealTimeData_ = new RealTimePanel(client);
    fraRealTimeData_->hide();  // hidden again by the load; never seen before it
    // Stacked above the real-time panel: drawn on top where the two overlap.
    fraPortSelect_ = new PortSetupPanel(client);
    fraPortSelect_->hide();
    fraPortSelect_->raise();

    connect(fraPortSelect_->cmdPortSelectOK, &QPushButton::clicked, this,
            &frmMain::cmdPortSelectOK_Click);
    // activated: every pick by the user, also of the entry already shown. Selections the tool
    // makes itself call cboPort_Click directly.
    connect(fraPortSelect_->cboPort, &QComboBox::activated, this, [this] { cboPort_Click(); });

    // A fixed single border: the window cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    acquisition_ = new Acquisition(link_, services_.clock, services_.boxes, services_.state, this);
    run_ = new ModuleRun(*acquisition_, services_.state, this);
    view_ = new RealTimeView(*fraRealTimeData_, *run_, this);
    // The panel shows each value as the tick reads it, and a replay's rows the same way.
    feed_ = new PanelFeed(*acquisition_, *fraRealTimeData_, this);
    charts_ = new chart::ChartWindows(
        {this, *fraRealTimeData_, *feed_, *view_, *acquisition_, services_.boxes, services_.clock});

    tmrDataRead_.setObjectName(QStringLiteral("tmrDataRead"));
    tmrDataRead_.setInterval(kPollIntervalMs);
    connect(&tmrDataRead_, &QTimer::timeout, acquisition_, &Acquisition::tmrDataRead_Timer);

    if (!services_.recordPrompts)
        dialogs_ = std::make_unique<DialogRecordPrompts>();
    recording_ = new RecordingControl(
        {this, *run_, *view_, *fraRealTimeData_, *feed_, tmrDataRead_, services_.boxes,
         services_.clock, services_.recordPrompts ? *services_.recordPrompts : *dialogs_,
         [this] { return charts_->replay().active(); }},
        this);
    // A replay pauses the polling a recording needs: the two do not run together.
    charts_->replay().setRefusal([this] {
        if (!recording_->recording())
            return QString();
        const QString path = recording_->session().path();
        return QStringLiteral(
                   "A recording %1 is running, and playing another through the "
                   "panel would pause the polling it needs. Choose File, Stop "
                   "Recording first.")
            .arg(recording_->session().active()
                     ? QStringLiteral("to %1").arg(readablePath(path))
                     : QStringLiteral("that starts itself"));
    });
    // Every recording made or opened goes into the library.
    library_ = new LibraryLink(*charts_, services_.boxes, this);
    connect(recording_, &RecordingControl::recordingClosed, library_, &LibraryLink::index);
    buildRecordingMenu();
    // The marks that reach the file are shown on the live chart on the same rows.
    connect(&recording_->session(), &RecordingSession::rowMarked, charts_,
            &chart::ChartWindows::markLive);
}

frmMain::~frmMain() {
    if (keyPreview_)
        qApp->removeEventFilter(this);
}

void frmMain::buildMenus() {
    auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenu* file = addMenu("mnuFile", "&File");
    QAction* open = addItem(file, "mnuOpenRecording", "&Open Recording\u2026");
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, &frmMain::mnuOpenRecording_Click);
    recent_ = file->addMenu(QStringLiteral("Recent Recor&dings"));
    recent_->setObjectName(QStringLiteral("mnuRecentRecordings"));
    recent_->menuAction()->setObjectName(QStringLiteral("mnuRecentRecordings"));
    connect(recent_, &QMenu::aboutToShow, this, &frmMain::fillRecentRecordings);
    fillRecentRecordings();
    connect(addItem(file, "mnuLibrary", "&Library\u2026"), &QAction::triggered, this,
            [this] { library_->mnuLibrary_Click(); });
    connect(addItem(file, "mnuExit", "E&xit"), &QAction::triggered, this, &frmMain::mnuExit_Click);
    file_ = file;
    QMenu* view = addMenu("mnuView", "&View");
    connect(addItem(view, "mnuViewRealTime", "View &Real Time Data"), &QAction::triggered, this,
            &frmMain::mnuViewRealTime_Click);
    connect(addItem(view, "mnuViewChart", "&Chart"), &QAction::triggered, this,
            &frmMain::mnuViewChart_Click);
    connect(addItem(view, "mnuViewDashboard", "&Dashboard"), &QAction::triggered, this,
            &frmMain::mnuViewDashboard_Click);
    QMenu* comms = addMenu("mnuCommunications", "&Communications");
    connect(addItem(comms, "mnuPortSetup", "&Port Setup"), &QAction::triggered, this,
            &frmMain::mnuPortSetup_Click);
    QMenu* help = addMenu("mnuHelp", "&Help");
    QAction* contents = addItem(help, "mnuHelpContents", "&Contents");
    contents->setShortcut(QKeySequence::HelpContents);
    connect(contents, &QAction::triggered, this, &frmMain::mnuHelpContents_Click);
    connect(addItem(help, "mnuAbout", "&About"), &QAction::triggered, this,
            &frmMain::mnuAbout_Click);
}

void frmMain::buildRecordingMenu() {
    // Above Exit, which stays last.
    QAction* exit = file_->actions().constLast();
    auto* record = new QAction(QStringLiteral("&Record\u2026"), file_);
    record->setObjectName(QStringLiteral("mnuRecord"));
    record->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    auto* stop = new QAction(QStringLiteral("S&top Recording"), file_);
    stop->setObjectName(QStringLiteral("mnuStopRecording"));
    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    auto* mark = new QAction(QStringLiteral("&Mark"), file_);
    mark->setObjectName(QStringLiteral("mnuMark"));
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    auto* markNote = new QAction(QStringLiteral("Mark with &Note\u2026"), file_);
    markNote->setObjectName(QStringLiteral("mnuMarkWithNote"));
    markNote->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    auto* alarms = new QAction(QStringLiteral("&Alarms\u2026"), file_);
    alarms->setObjectName(QStringLiteral("mnuAlarms"));
    file_->insertActions(exit, {record, stop, mark, markNote, alarms});
    file_->insertSeparator(exit);
    // Like every other item, both can be chosen at any time; each does what fits the moment.
    connect(record, &QAction::triggered, recording_, &RecordingControl::mnuRecord_Click);
    connect(stop, &QAction::triggered, recording_, &RecordingControl::mnuStopRecording_Click);
    connect(mark, &QAction::triggered, recording_, &RecordingControl::mnuMark_Click);
    connect(markNote, &QAction::triggered, recording_, &RecordingControl::mnuMarkWithNote_Click);
    connect(alarms, &QAction::triggered, recording_, &RecordingControl::mnuAlarms_Click);
}

void frmMain::fillRecentRecordings() {
    recent_->clear();
    const QStringList paths = chart::recent_recordings::list();
    int n = 0;
    for (const QString& path : paths) {
        ++n;
        QAction* entry = recent_->addAction(
            QStringLiteral("&%1 %2").arg(n).arg(readable(QFileInfo(path).fileName(), 60)));
        entry->setToolTip(readablePath(QDir::toNativeSeparators(path)));
        connect(entry, &QAction::triggered, this, [this, path] { charts_->openRecording(path); });
    }
    if (paths.isEmpty())
        recent_->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
    recent_->setToolTipsVisible(true);
}

void frmMain::Show() {
    // Shown first, so that a message box of the load stands over the window it belongs to.
    show();
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
        tmrDataRead_.start();
    }
}

void frmMain::Form_Load() {
    Module1& state = services_.state;
    if (!keyPreview_) {
        qApp->installEventFilter(this);
        keyPreview_ = true;
    }
    fraRealTimeData_->hide();
    state.viewActive = false;
    applyApplicationTitle();
    QDir::setCurrent(services_.programFolder);
    state.escape = false;
    // The steps that can fail go to the prompt; Abort leaves the load with the rest undone.
    Recovery r(services_.boxes);
    if (!r.steps({
            [&] { link_.portNumber = port_settings::toPortNumber(port_settings::readStored()); },
            [&] { fillPortList(); },
            [&] { selectStoredPort(); },
            [&] { configureSerialControl(); },
        }))
        return;
    state.commErrorCount = 0;
    state.mapRangeCode = 1;
}

void frmMain::fillPortList() {
    PortList* list = fraPortSelect_->cboPort;
    const QSignalBlocker quiet(list);
    list->clear();
    for (int n = 1; n <= kPortCount; ++n)
        list->addItem(QStringLiteral("Com%1").arg(n));
    list->refreshToolTips();
    // A list that has just been filled shows no selection until one is made.
    list->setCurrentIndex(-1);
}

void frmMain::selectStoredPort() {
    const int number = link_.portNumber;
    if (number < 0 || number > kPortCount) {
        throw CommError(kErrInvalidProperty, kAppName,
                        QStringLiteral("The stored port number %1 names no port in the list "
                                       "(Com1 to Com255). Click Ignore, then choose the port "
                                       "again under Communications, Port Setup.")
                            .arg(number));
    }
    PortList* list = fraPortSelect_->cboPort;
    if (number == 0) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(-1);
        return;
    }
    if (number - 1 >= list->count()) {
        throw CommError(kErrInvalidProperty, kAppName,
                        QStringLiteral("The port list is empty, so Com%1 cannot be selected. "
                                       "Restart the program.")
                            .arg(number));
    }
    {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(number - 1);
    }
    cboPort_Click();
}

void frmMain::configureSerialControl() {
    configureModuleLine(services_.port);
}

void frmMain::cboPort_Click() {
    link_.portNumber = static_cast<std::int16_t>(fraPortSelect_->cboPort->currentIndex() + 1);
    Recovery r(services_.boxes);
    (void)r.steps({
        [&] { port_settings::store(link_.portNumber); },
        [&] { link_.closePortIfOpen(); },
    });
}

void frmMain::mnuPortSetup_Click() {
    fraPortSelect_->show();
    fraPortSelect_->raise();
}

void frmMain::cmdPortSelectOK_Click() {
    fraPortSelect_->hide();
}

void frmMain::mnuViewRealTime_Click() {
    view_->mnuViewRealTime_Click();
}

void frmMain::mnuViewChart_Click() {
    charts_->mnuViewChart_Click();
}

void frmMain::mnuViewDashboard_Click() {
    if (!dashboardWired_) {
        dashboardWired_ = true;
        wireDashboard(*charts_->dashboard(), *recording_);
    }
    charts_->showDashboard();
}

void frmMain::mnuOpenRecording_Click() {
    charts_->mnuOpenRecording_Click();
}

void frmMain::mnuHelpContents_Click() {
    showHelpContents(this, services_.programFolder);
}

void frmMain::mnuAbout_Click() {
    showAbout(services_.boxes, services_.state);
}

void frmMain::Form_KeyPress(std::int16_t& keyAscii) {
    if (keyAscii == 27)
        services_.state.escape = true;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // Key preview: the window sees every key press before the control with the focus, and
    // lets it through unchanged.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == this || isAncestorOf(widget)) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (!text.isEmpty()) {
                std::int16_t keyAscii = static_cast<std::int16_t>(text.at(0).unicode());
                Form_KeyPress(keyAscii);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::mnuExit_Click() {
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_QueryUnload();
}

void frmMain::Form_QueryUnload() {
    try {
        link_.closePortIfOpen();
    } catch (const CommError&) {
        // Ending anyway: the system releases the port with the process.
    }
    // A recording ends complete: its last row on the disk before the process ends.
    recording_->finish();
    if (services_.endProgram)
        services_.endProgram();
}

}  // namespace ignivex
