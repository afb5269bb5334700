#pragma once

#include "strips/StripPainter.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

class QMenu;

namespace ignivex::chart {

// The strips as a widget: paints its scene, maps the mouse to times, and asks its window to
// move the cursor (a click), pan (a drag) or zoom (the wheel); the window decides.
class StripChart : public QWidget {
    Q_OBJECT
public:
    explicit StripChart(QWidget* parent = nullptr);
    ~StripChart() override;

    void setData(std::shared_ptr<const ChartData> data);
    const std::shared_ptr<const ChartData>& data() const { return scene_.data; }
    void setView(double t0, double t1);
    // Both at once: one picture instead of two.
    void setDataAndView(std::shared_ptr<const ChartData> data, double t0, double t1);
    // And the stretches a filter leaves out of those rows (setLeftOut), still one picture.
    void setDataAndView(std::shared_ptr<const ChartData> data, double t0, double t1,
                        std::shared_ptr<const std::vector<Gap>> leftOut);
    double viewStart() const { return scene_.t0; }
    double viewEnd() const { return scene_.t1; }
    void setCursorTime(std::optional<double> t);
    std::optional<double> cursorTime() const { return scene_.cursor; }
    void setCursorBTime(std::optional<double> t);
    // Up to three recordings over the first, each with its times moved; none: an empty list.
    void setOverlays(std::vector<SceneOverlay> overlays);
    std::optional<double> cursorBTime() const { return scene_.cursorB; }
    std::optional<double> pointerTime() const { return scene_.pointer; }
    void setTimeStyle(TimeStyle style);
    void setEmptyText(const QString& text);

    // Which series are shown on which strips, and their scales. The user changes them through
    // the strips' names (drag or wheel for a scale, a double click for the automatic one, a right
    // click for a menu) and editChannels(); each such change is announced by arrangementEdited.
    void setArrangement(const Arrangement& arrangement);
    const Arrangement& arrangement() const { return scene_.strips; }
    // Shows the arrangement chosen last and keeps each change for the next time; the other
    // charts that remember theirs take each change at once.
    void rememberArrangement();
    void setMapRange(const QString& text);
    // The stretches a filter leaves out, shaded in every strip; nullptr for none.
    void setLeftOut(std::shared_ptr<const std::vector<Gap>> stretches);
    // Asks which series to show and how to group them.
    void editChannels();
    // Every strip's scale back to the automatic one.
    void resetScales();
    // View, Channels... and View, Automatic Scales, for a window's menu.
    void addChannelActions(QMenu* menu);

    // Paints in a worker thread and shows the finished picture, so the GUI thread only copies
    // pixels: the live chart's painting then never holds up a polling tick.
    void setPaintOffThread(bool offThread);
    bool rendering() const { return watcher_.isRunning(); }
    int picturesPainted() const { return painted_; }

    // What the widget shows, as a scene of its size (for a picture of the view).
    ChartScene scene() const;
    double timeAtX(double x) const;
    double plotWidth() const;

    QSize sizeHint() const override { return {960, 640}; }
    QSize minimumSizeHint() const override { return {420, 360}; }

signals:
    void cursorRequested(double t);
    // A right click, or a click with Shift: the second cursor there.
    void cursorBRequested(double t);
    // A drag with Ctrl held: the overlay moved later by `seconds`.
    void overlayShiftRequested(double seconds);
    void panRequested(double seconds);
    void zoomRequested(double factor, double anchor);
    void arrangementEdited(const ignivex::chart::Arrangement& arrangement);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void changed();
    void startRender();
    void setPointer(std::optional<double> t);
    bool overPlot(const QPointF& pos) const;
    ChartLayout layout() const;
    // The strip whose names and scale are at `pos`, left of the plot; -1 elsewhere.
    int scaleAt(const QPointF& pos) const;
    void setScale(int strip, std::optional<FixedScale> scale, bool announce);
    void showStripMenu(int strip, const QPoint& globalPos);
    // The arrangement made again for the rows' channels when they are others than before.
    void followChannels();

    ChartScene scene_;
    QString chosen_;  // the arrangement as chosen, by the channels' names (empty: standard)
    bool offThread_ = false;
    QFutureWatcher<QImage> watcher_;
    bool stale_ = true;  // the picture does not show the scene as it is
    QImage picture_;
    int painted_ = 0;
    bool pressed_ = false;
    bool dragging_ = false;
    QPointF pressPos_;
    double lastDragX_ = 0;
    int scaleStrip_ = -1;  // the strip whose scale a drag is moving
    FixedScale scaleAtPress_{0, 1};
};

}  // namespace ignivex::chart
