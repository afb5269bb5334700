#pragma once

#include "series/LiveSeries.h"

#include <QObject>

class QWidget;

namespace ignivex {
class Acquisition;
class Clock;
class MessageBoxes;
class PanelFeed;
class RealTimePanel;
class RealTimeView;
}  // namespace ignivex

namespace ignivex::dash {
class DashboardWindow;
}

namespace ignivex::chart {

class LiveChartWindow;
class PanelReplay;
class ReviewWindow;

// The main window's way to the charts: View, Chart and File, Open Recording... Each window is
// made when first asked for and kept, one of each.
class ChartWindows : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* mainWindow;
        RealTimePanel& panel;
        PanelFeed& feed;
        RealTimeView& view;
        Acquisition& acquisition;
        MessageBoxes& boxes;
        Clock& clock;
    };
    explicit ChartWindows(Parts parts);
    ~ChartWindows() override;

    void mnuViewChart_Click();
    // View, Dashboard: the dashboard, full screen.
    void showDashboard();
    // Made on first use; from the same samples as the live chart.
    dash::DashboardWindow* dashboard();
    // A mark on the live rows (a recording's marks and alarms), on the row of `sample`.
    void markLive(const Sample& sample, const QString& text);
    void mnuOpenRecording_Click();
    void openRecording(const QString& path);
    // The first recording in the review, the others laid over it (as many as the review
    // overlays), once it is shown.
    void openWithOverlays(const QStringList& paths);

    LiveChartWindow* chartWindow() const { return chart_; }
    // The live chart's samples since the real-time view opened, kept whether it is shown or not.
    const LiveSeries& liveSeries() const { return series_; }
    ReviewWindow* reviewWindow() const { return review_; }
    PanelReplay& replay() { return *replay_; }

signals:
    // A recording the review has read and shows.
    void recordingShown(const QString& path);

private:
    void openNextOverlay();

    Parts parts_;
    QStringList overlaysWaiting_;
    PanelReplay* replay_;
    LiveSeries series_;
    // Windows of their own, children of the main window, made on first use.
    LiveChartWindow* chart_ = nullptr;
    dash::DashboardWindow* dashboard_ = nullptr;
    ReviewWindow* review_ = nullptr;
};

}  // namespace ignivex::chart
