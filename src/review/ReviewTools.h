#pragma once

#include <QObject>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

struct ChartData;
class MapTableWindow;
class ReviewWindow;
class XyPlotWindow;

// The review's View, Map Table... and XY Plot...: opens the windows for the loaded recording,
// keeps them on the recording and the view the review shows, moves the review's cursor where
// the plot is clicked, and closes them with the review. It watches the review rather than being
// told, and adds its two items to the review's View menu, so the review knows nothing of it.
class ReviewTools : public QObject {
    Q_OBJECT
public:
    ReviewTools(ReviewWindow& review, MessageBoxes& boxes, QMenu* viewMenu);

    void openMapTable();
    void openXyPlot();
    MapTableWindow* mapTableWindow() const { return mapTable_; }
    XyPlotWindow* xyPlotWindow() const { return xyPlot_; }
    // Gives the open windows the review's recording, view and cursor when they have changed.
    void follow();

    static inline const QString kNoRecording = QStringLiteral(
        "Open a recording first (File, Open Recording\u2026): the %1 is made from it.");

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ready(const QString& what);
    void open(QWidget* window);

    ReviewWindow& review_;
    MessageBoxes& boxes_;
    QAction* mapTableAction_;
    QAction* xyPlotAction_;
    MapTableWindow* mapTable_ = nullptr;  // children of the review, made on first use
    XyPlotWindow* xyPlot_ = nullptr;
    // The rows the windows were given: a recording freed and another read into the same memory
    // is still told apart. Reset to give them the recording again.
    std::weak_ptr<const ChartData> shown_;
    double viewFrom_ = 0, viewTo_ = 0;
    std::optional<double> cursor_;
    bool followQueued_ = false;
};

}  // namespace ignivex::chart
