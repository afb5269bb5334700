#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class HistogramWindow;
class MapTableWindow;
class ReviewTool;
class ReviewWindow;
class XyPlotWindow;

// The review's View, Map Table..., XY Plot... and Histogram...: opens the windows for the loaded
// recording, hands them the review's state, which they follow, and closes them with the review.
// It adds its items to the review's View menu, so the review knows nothing of it.
class ReviewTools : public QObject {
    Q_OBJECT
public:
    ReviewTools(ReviewWindow& review, MessageBoxes& boxes, QMenu* viewMenu);

    void openMapTable();
    void openXyPlot();
    void openHistogram();
    MapTableWindow* mapTableWindow() const { return mapTable_; }
    XyPlotWindow* xyPlotWindow() const { return xyPlot_; }
    HistogramWindow* histogramWindow() const { return histogram_; }

    static inline const QString kNoRecording = QStringLiteral(
        "Open a recording first (File, Open Recording\u2026): the %1 is made from it.");

private:
    bool ready(const QString& what);
    void open(QWidget* window, ReviewTool& tool);

    ReviewWindow& review_;
    MessageBoxes& boxes_;
    QAction* mapTableAction_;
    QAction* xyPlotAction_;
    QAction* histogramAction_;
    MapTableWindow* mapTable_ = nullptr;  // children of the review, made on first use
    XyPlotWindow* xyPlot_ = nullptr;
    HistogramWindow* histogram_ = nullptr;
};

}  // namespace ignivex::chart
