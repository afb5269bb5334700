#pragma once

#include "series/RecordingLoader.h"
#include "series/ChannelText.h"
#include "series/XyGrid.h"

#include <QFutureWatcher>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

namespace ignivex::chart {

// An overlay of the review plotted beside the rows: its span is in its own times (the
// recording's moved back by `shift`), through the filter as it reads its rows.
struct XyOverlay {
    std::shared_ptr<const ChartData> data;
    double shift = 0;
    analysis::Span span;
    QString name;  // its file, as the legend and the pointing name it
};

// What the plot shows: the rows, which channels, and over which span.
struct XyChoice {
    std::shared_ptr<const ChartData> data;
    tools::Details details;  // the recording's, for MAP's range
    record::ChannelId x = record::channelOf(Value::Rpm);
    record::ChannelId y = record::channelOf(Value::Advance);
    std::optional<record::ChannelId> colour = record::channelOf(Value::Map);
    analysis::Span span;
    // The review's overlays, plotted beside the rows when asked for, each in a colour of its
    // own.
    std::vector<XyOverlay> overlays;
    QString name;  // the recording's file

    // A channel of the rows: how it is named, drawn and counted.
    const record::ChannelInfo& channel(record::ChannelId c) const;
};

// The points of one grid as painted: one pixel a cell, or dots when they are few.
struct XyCells {
    QImage image;                   // empty when drawn as dots
    std::vector<std::size_t> dots;  // the cells drawn as dots
    qint64 occupied = 0;            // cells with a point
};

// A finished picture of the points: the grid, its pixels, and the axes it was counted on.
struct XyPicture {
    XyGrid grid;
    XyCells cells;
    std::optional<tools::AxisRange> colourScale;
    // Each overlay's points, on the same axes; a grid is empty where its channels are missing.
    struct Overlay {
        XyGrid grid;
        XyCells cells;
    };
    std::vector<Overlay> overlays;
};

// A point under the mouse: a cell of the recording's grid (overlay -1) or of an overlay's.
struct XyHit {
    std::size_t cell;
    int overlay = -1;
    bool operator==(const XyHit&) const = default;
};

// The points of one channel against another, painted from a grid counted in a worker thread:
// the shade of a pixel says how many points it holds, or its colour the mean of a third
// channel there. Few points are drawn as dots, many as pixels, so density shows at any count.
// Pointing names the row under the mouse; a click asks for the review's cursor there.
class XyPlot : public QWidget {
    Q_OBJECT
public:
    // Below this many occupied pixels the points are dots big enough to see one by one.
    static constexpr qint64 kMostDots = 6000;

    explicit XyPlot(QWidget* parent = nullptr);
    ~XyPlot() override;

    void setChoice(const XyChoice& choice);
    const XyChoice& choice() const { return choice_; }
    void setSubtitle(const QString& text);
    // The row of the review's cursor, ringed in the cursor's colour when it is plotted.
    void setMarkedRow(std::optional<std::size_t> row);
    std::optional<std::size_t> markedRow() const { return marked_; }
    // A picture is asked for and not yet shown.
    bool busy() const { return drawing_; }
    const XyPicture& picture() const { return picture_; }

    // The plot's area inside the widget, and where a value pair lies there.
    QRectF plotArea() const;
    QPointF pointOf(double x, double y) const;
    // The row whose point is nearest the position, within a few pixels.
    std::optional<std::size_t> rowNear(const QPointF& pos) const;
    // "0:03.000 (row 7): RPM 4500 rpm, ...", of overlay `overlay`'s row (-1: the recording's),
    // named so.
    QString describeRow(std::size_t row, int overlay = -1) const;

    // The widget's state painted into any device: the screen, or a picture to save.
    void paint(QPainter& p, const QRectF& area) const;

    QSize sizeHint() const override { return {820, 600}; }
    QSize minimumSizeHint() const override { return {360, 280}; }

signals:
    void cursorRequested(double t);
    void pointed(const QString& text);  // empty when no point is under the mouse
    void drawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void schedule();
    void start();
    std::optional<XyHit> hitNear(const QPointF& pos) const;
    // The recording's grid (-1) or an overlay's.
    const XyGrid& gridOf(int overlay) const;

    XyChoice choice_;
    QString subtitle_;
    XyPicture picture_;
    QTimer queued_;
    QFutureWatcher<XyPicture> watcher_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    bool pending_ = false;
    bool drawing_ = false;
    std::optional<XyHit> hovered_;
    std::optional<std::size_t> marked_;  // a row of the recording
};

}  // namespace ignivex::chart
