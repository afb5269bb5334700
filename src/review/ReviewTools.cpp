#include "review/ReviewTools.h"

#include "review/HistogramWindow.h"
#include "review/MapTableWindow.h"
#include "review/ReviewWindow.h"
#include "review/XyPlotWindow.h"
#include "recovery/MessageBoxes.h"

#include <QMenu>

namespace ignivex::chart {

ReviewTools::ReviewTools(ReviewWindow& review, MessageBoxes& boxes, QMenu* viewMenu)
    : QObject(&review), review_(review), boxes_(boxes) {
    setObjectName(QStringLiteral("reviewTools"));
    mapTableAction_ = viewMenu->addAction(QStringLiteral("&Map Table\u2026"));
    mapTableAction_->setObjectName(QStringLiteral("mnuMapTable"));
    mapTableAction_->setStatusTip(QStringLiteral("A channel averaged over cells of rpm and MAP"));
    connect(mapTableAction_, &QAction::triggered, this, &ReviewTools::openMapTable);
    xyPlotAction_ = viewMenu->addAction(QStringLiteral("&XY Plot\u2026"));
    xyPlotAction_->setObjectName(QStringLiteral("mnuXyPlot"));
    xyPlotAction_->setStatusTip(QStringLiteral("One channel against another, coloured by a third"));
    connect(xyPlotAction_, &QAction::triggered, this, &ReviewTools::openXyPlot);
    histogramAction_ = viewMenu->addAction(QStringLiteral("&Histogram\u2026"));
    histogramAction_->setObjectName(QStringLiteral("mnuHistogram"));
    histogramAction_->setStatusTip(QStringLiteral("The time a channel spent in each bin of its values"));
    connect(histogramAction_, &QAction::triggered, this, &ReviewTools::openHistogram);
    // Greyed while nothing is loaded; a shortcut or a script reaching them then hears why.
    connect(viewMenu, &QMenu::aboutToShow, this, [this] {
        const bool loaded = review_.recording() != nullptr;
        mapTableAction_->setEnabled(loaded);
        xyPlotAction_->setEnabled(loaded);
        histogramAction_->setEnabled(loaded);
    });
    // The review lets go of its recording only when it is closed; the windows close with it,
    // once the review's own closing is over.
    connect(&review_.state(), &ReviewState::recordingChanged, this, [this] {
        if (review_.recording())
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (review_.isVisible())
                    return;
                if (mapTable_)
                    mapTable_->close();
                if (xyPlot_)
                    xyPlot_->close();
                if (histogram_)
                    histogram_->close();
            },
            Qt::QueuedConnection);
    });
}

bool ReviewTools::ready(const QString& what) {
    if (review_.recording())
        return true;
    boxes_.show(kNoRecording.arg(what), box::OkOnly + box::Information, QStringLiteral("Review"));
    return false;
}

void ReviewTools::openMapTable() {
    if (!ready(QStringLiteral("map table")))
        return;
    if (!mapTable_)
        mapTable_ = new MapTableWindow(boxes_, &review_);
    open(mapTable_, *mapTable_);
}

void ReviewTools::openXyPlot() {
    if (!ready(QStringLiteral("XY plot")))
        return;
    if (!xyPlot_)
        xyPlot_ = new XyPlotWindow(boxes_, &review_);
    open(xyPlot_, *xyPlot_);
}

void ReviewTools::openHistogram() {
    if (!ready(QStringLiteral("histogram")))
        return;
    if (!histogram_)
        histogram_ = new HistogramWindow(boxes_, &review_);
    open(histogram_, *histogram_);
}

void ReviewTools::open(QWidget* window, ReviewTool& tool) {
    window->show();
    window->raise();
    window->activateWindow();
    tool.follow(review_.state());
}

}  // namespace ignivex::chart
