#include "app/ChartWindows.h"

#include "dashboard/DashboardWindow.h"
#include "live/LiveChartWindow.h"
#include "replay/PanelReplay.h"
#include "review/FormulaTools.h"
#include "review/ReviewTools.h"
#include "review/StudyTools.h"
#include "review/ReviewWindow.h"
#include "acquire/Acquisition.h"
#include "display/RealTimeView.h"

#include <QWidget>
#include <utility>

namespace ignivex::chart {

ChartWindows::ChartWindows(Parts parts)
    : QObject(parts.mainWindow),
      parts_(parts),
      replay_(new PanelReplay(parts.panel, parts.feed, parts.view, parts.acquisition, this)) {
    connect(&parts.acquisition, &Acquisition::sampleReady, this, [this](const Sample& sample) {
        series_.append(sample);
        if (chart_)
            chart_->noteSample();
        if (dashboard_)
            dashboard_->noteSample();
    });
    // The live chart holds the drive since the view opened.
    connect(&parts.view, &RealTimeView::opened, this, [this] { series_.clear(); });
}

ChartWindows::~ChartWindows() {
    delete chart_;
    delete dashboard_;
    delete review_;
}

void ChartWindows::mnuViewChart_Click() {
    if (!chart_)
        chart_ = new LiveChartWindow(series_, parts_.acquisition, parts_.boxes, parts_.mainWindow);
    chart_->show();
    chart_->raise();
    chart_->activateWindow();
}

dash::DashboardWindow* ChartWindows::dashboard() {
    if (!dashboard_)
        dashboard_ = new dash::DashboardWindow(series_, parts_.acquisition, parts_.mainWindow);
    return dashboard_;
}

void ChartWindows::showDashboard() {
    dashboard()->showFullScreen();
    dashboard_->raise();
    dashboard_->activateWindow();
}

void ChartWindows::markLive(const Sample& sample, const QString& text) {
    series_.markRow(sample, text);
    if (chart_)
        chart_->noteSample();
}

void ChartWindows::mnuOpenRecording_Click() {
    const QString path = ReviewWindow::askRecording(parts_.mainWindow);
    if (!path.isEmpty())
        openRecording(path);
}

void ChartWindows::openRecording(const QString& path) {
    if (!review_) {
        review_ = new ReviewWindow(*replay_, parts_.boxes, parts_.clock, parts_.mainWindow);
        // Made beside the review rather than by it: the tools know the review, not the reverse.
        auto* tools = new ReviewTools(*review_, parts_.boxes, review_->viewMenu());
        auto* formulas = new FormulaTools(*review_, parts_.boxes, review_->viewMenu());
        new StudyTools(*review_, parts_.boxes, *tools, *formulas);
        connect(&review_->state(), &ReviewState::recordingChanged, this, [this] {
            const auto& shown = review_->state().plainRecording();
            if (!shown)
                return;
            emit recordingShown(shown->path);
            openNextOverlay();
        });
        // The overlays waiting are read one after the other, as the review reads one at a time;
        // one that cannot be read is passed over.
        connect(&review_->state(), &ReviewState::overlayChanged, this,
                &ChartWindows::openNextOverlay);
        connect(review_, &ReviewWindow::overlayFailed, this, &ChartWindows::openNextOverlay);
    }
    review_->show();
    review_->raise();
    review_->activateWindow();
    review_->openFile(path);
}

void ChartWindows::openWithOverlays(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    overlaysWaiting_ = paths.mid(1, ReviewState::kMostOverlays);
    if (review_)
        review_->closeOverlays();
    openRecording(paths.first());
}

void ChartWindows::openNextOverlay() {
    if (overlaysWaiting_.isEmpty() || !review_ || !review_->state().recording() ||
        review_->overlayLoading() || review_->loading())
        return;
    review_->openOverlay(overlaysWaiting_.takeFirst());
}

}  // namespace ignivex::chart
