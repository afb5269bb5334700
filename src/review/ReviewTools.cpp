#include "review/ReviewTools.h"

#include "review/MapTableWindow.h"
#include "review/ReviewWindow.h"
#include "review/XyPlotWindow.h"
#include "recovery/MessageBoxes.h"

#include <QEvent>
#include <QMenu>
#include <QPointer>

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
    // Greyed while nothing is loaded; a shortcut or a script reaching them then hears why.
    connect(viewMenu, &QMenu::aboutToShow, this, [this] {
        const bool loaded = review_.recording() != nullptr;
        mapTableAction_->setEnabled(loaded);
        xyPlotAction_->setEnabled(loaded);
    });
    // Following changes widgets of other windows: done once the review's own handling of a
    // change is over, once for any number of changes.
    const ReviewState& state = review_.state();
    auto soon = [this] {
        if (followQueued_)
            return;
        followQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                followQueued_ = false;
                follow();
            },
            Qt::QueuedConnection);
    };
    connect(&state, &ReviewState::recordingChanged, this, soon);
    connect(&state, &ReviewState::overlayChanged, this, soon);
    connect(&state, &ReviewState::cursorChanged, this, soon);
    connect(&state, &ReviewState::cursorBChanged, this, soon);
    connect(&state, &ReviewState::viewChanged, this, soon);
    // The review's closing lets go of the recording.
    review_.installEventFilter(this);
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
    if (!mapTable_) {
        mapTable_ = new MapTableWindow(boxes_, &review_);
        mapTable_->installEventFilter(this);
    }
    open(mapTable_);
}

void ReviewTools::openXyPlot() {
    if (!ready(QStringLiteral("XY plot")))
        return;
    if (!xyPlot_) {
        xyPlot_ = new XyPlotWindow(boxes_, &review_);
        xyPlot_->installEventFilter(this);
        connect(xyPlot_, &XyPlotWindow::cursorRequested, &review_, &ReviewWindow::setCursor);
    }
    open(xyPlot_);
}

void ReviewTools::open(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    shown_.reset();
    follow();
}

void ReviewTools::follow() {
    const LoadedRecording* recording = review_.recording();
    const std::shared_ptr<const ChartData> data = recording ? recording->chart : nullptr;
    if (data != shown_.lock()) {
        shown_ = data;
        cursor_.reset();
        // A closed window holds no recording: it would keep a long one in memory for nothing.
        if (mapTable_)
            recording && mapTable_->isVisible() ? mapTable_->setRecording(*recording)
                                                : mapTable_->clearRecording();
        if (xyPlot_)
            recording && xyPlot_->isVisible() ? xyPlot_->setRecording(*recording)
                                              : xyPlot_->clearRecording();
    }
    const std::optional<double> cursor =
        recording ? std::optional<double>(review_.cursor()) : std::nullopt;
    if (xyPlot_ && cursor != cursor_) {
        cursor_ = cursor;
        if (cursor_)
            xyPlot_->setCursorTime(*cursor_);
    }
    const auto b = review_.cursorB();
    const auto ab = recording && b
                        ? std::optional<std::pair<double, double>>({review_.cursor(), *b})
                        : std::nullopt;
    if (mapTable_) {
        mapTable_->setCursors(ab);
        const LoadedRecording* overlay = review_.overlay();
        mapTable_->setComparison(overlay ? overlay->chart : nullptr, review_.overlayShift());
    }
    if (xyPlot_) {
        xyPlot_->setCursors(ab);
        // As with the recording, a closed window holds no overlay.
        xyPlot_->setOverlay(recording && xyPlot_->isVisible() ? review_.overlay() : nullptr,
                            review_.overlayShift());
    }
    const double t0 = review_.state().viewStart(), t1 = review_.state().viewEnd();
    if (t0 != viewFrom_ || t1 != viewTo_) {
        viewFrom_ = t0;
        viewTo_ = t1;
        if (mapTable_)
            mapTable_->setView(t0, t1);
        if (xyPlot_)
            xyPlot_->setView(t0, t1);
    }
}

bool ReviewTools::eventFilter(QObject* watched, QEvent* event) {
    // Pointers compared only: the review may be part way through its destruction here.
    if (event->type() == QEvent::Close && watched == &review_) {
        // After the review's own close handling, which lets go of its recording.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (review_.isVisible())
                    return;
                if (mapTable_)
                    mapTable_->close();
                if (xyPlot_)
                    xyPlot_->close();
            },
            Qt::QueuedConnection);
    } else if (event->type() == QEvent::Close) {
        // A closed window holds no recording: it would keep a long one in memory for nothing.
        QMetaObject::invokeMethod(
            this,
            [window = QPointer<QObject>(watched)] {
                if (auto* table = qobject_cast<MapTableWindow*>(window.data());
                    table && !table->isVisible())
                    table->clearRecording();
                if (auto* plot = qobject_cast<XyPlotWindow*>(window.data());
                    plot && !plot->isVisible())
                    plot->clearRecording();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ignivex::chart
