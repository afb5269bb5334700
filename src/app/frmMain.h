#pragma once

#include "base/Clock.h"
#include "link/CommEventHandler.h"
#include "recovery/MessageBoxes.h"
#include "base/Module1.h"
#include "link/ModuleLink.h"
#include "link/SerialControl.h"

#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace ignivex {

class Acquisition;
class ModuleRun;
class DialogRecordPrompts;
class LibraryLink;
class PanelFeed;
namespace chart {
class ChartWindows;
}
class PortSetupPanel;
class RecordPrompts;
class RecordingControl;
class RealTimePanel;
class RealTimeView;

// The main window: menus, the two panels, the polling timer, and the start and end of a run.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    struct Services {
        SerialControl& port;
        Clock& clock;
        MessageBoxes& boxes;
        Module1& state;
        // Ends the process at once. Tests put a recorder here.
        std::function<void()> endProgram;
        // The folder of the program file: current directory, branding and help live there.
        QString programFolder;
        // What Record… asks; the real dialogs when not given.
        RecordPrompts* recordPrompts = nullptr;
    };

    explicit frmMain(Services services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Loads the window (once) and shows it.
    void Show();

    void Form_Load();
    void Form_KeyPress(std::int16_t& keyAscii);
    void Form_QueryUnload();

    void mnuExit_Click();
    void mnuPortSetup_Click();
    void mnuViewRealTime_Click();
    void mnuViewChart_Click();
    void mnuViewDashboard_Click();
    void mnuOpenRecording_Click();
    void mnuHelpContents_Click();
    void mnuAbout_Click();
    void cmdPortSelectOK_Click();
    void cboPort_Click();

    ModuleLink& link() { return link_; }
    RealTimeView& view() { return *view_; }
    chart::ChartWindows& charts() { return *charts_; }
    LibraryLink& library() { return *library_; }
    Acquisition& acquisition() { return *acquisition_; }
    RecordingControl& recording() { return *recording_; }
    PortSetupPanel* fraPortSelect() const { return fraPortSelect_; }
    RealTimePanel* fraRealTimeData() const { return fraRealTimeData_; }
    QTimer* tmrDataRead() { return &tmrDataRead_; }
    bool loaded() const { return loaded_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildRecordingMenu();
    void fillRecentRecordings();
    void fillPortList();
    void selectStoredPort();
    void configureSerialControl();

    Services services_;
    ModuleLink link_;
    CommEventHandler commEvents_;
    RealTimePanel* fraRealTimeData_ = nullptr;
    PortSetupPanel* fraPortSelect_ = nullptr;
    Acquisition* acquisition_ = nullptr;
    ModuleRun* run_ = nullptr;
    RealTimeView* view_ = nullptr;
    PanelFeed* feed_ = nullptr;
    std::unique_ptr<DialogRecordPrompts> dialogs_;
    RecordingControl* recording_ = nullptr;
    chart::ChartWindows* charts_ = nullptr;
    LibraryLink* library_ = nullptr;
    QMenu* recent_ = nullptr;
    QTimer tmrDataRead_;
    QMenu* file_ = nullptr;
    bool loaded_ = false;
    bool keyPreview_ = false;
    bool dashboardWired_ = false;
};

}  // namespace ignivex
