#pragma once

#include "series/ChartData.h"
#include "series/StripArrangement.h"

#include <QFont>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace ignivex::chart {

// How the time axis is labelled: from the start of a recording, or by the clock (live).
enum class TimeStyle { Elapsed, TimeOfDay };

// A recording drawn over the first for comparison, its times moved by `shift`, in the line
// style of its place (OverlayStyle). `name` is what an exported picture's legend calls it.
struct SceneOverlay {
    std::shared_ptr<const ChartData> data;
    double shift = 0;
    QString name;
};

// Everything a picture of the strips depends on, by value: it can be painted on another thread.
struct ChartScene {
    std::shared_ptr<const ChartData> data;
    double t0 = 0, t1 = 60;         // the view, in seconds of the data's own time
    std::optional<double> cursor;   // the review's cursor (A)
    std::optional<double> cursorB;  // its second cursor: statistics are taken between the two
    // Up to three recordings drawn over the first. Exported pictures with overlays name the
    // files under the title, each beside a piece of its line.
    std::vector<SceneOverlay> overlays;
    QString runName;
    std::optional<double> pointer;  // where the mouse pointer is
    TimeStyle timeStyle = TimeStyle::Elapsed;
    QFont font;
    QString emptyText;  // said when there are no rows
    QString title;      // a line above the strips (exported pictures); may be empty
    Arrangement strips = Arrangement::standard();
    QString mapRange;  // what MAP's values run over ("0 to 60"), for its label; may be empty
    // The stretches a filter leaves out of the figures, shaded; in time order.
    std::shared_ptr<const std::vector<Gap>> leftOut;
};

// Where the strips and the time axis lie within an area. A strip with a value that is not an
// input is three times the height of one with inputs alone.
struct ChartLayout {
    ChartLayout(const QRectF& area, const QFont& font, const Arrangement& strips);
    QRectF plot;           // from the top of the first strip to the bottom of the last
    QRectF axis;           // tick labels, then the row of marks
    double nameWidth = 0;  // the series' names and values, left of the tick labels
    int count() const { return int(weights_.size()); }
    QRectF strip(int index) const;
    // The strip at height y, or -1 between and beyond the strips.
    int stripAt(double y) const;
    double xOf(double t, double t0, double t1) const;
    double timeAt(double x, double t0, double t1) const;

private:
    std::vector<int> weights_;
    double unit_ = 0;  // height of a strip of weight 1
    double spacing_ = 0;
};

// Whether a strip has a value scale (a value that is not an input); inputs alone show 0 and 1.
bool hasScale(const StripGroup& group);
// The value range strip `index` shows in the scene painted into `area`, as painted: its fixed
// scale, or the one that fits the values in view. Nothing for a strip of inputs alone.
std::optional<FixedScale> scaleShown(const ChartScene& scene, const QRectF& area, int index);

// The value of a channel at time t (the last row at or before it): nothing when t is outside
// the rows or the cell is empty.
std::optional<float> valueAt(const ChartData& data, ChannelId series, double t);

// The user's marks to draw in the view [t0, t1] split into `columns`: indexes into the table's
// marks, the first of each column that holds any, so a million marks cost no more than the
// columns do.
std::vector<std::size_t> userMarksToDraw(const ChartData& data, double t0, double t1, int columns);

// The strips over the view, one per series, on one time axis, with the gaps, the marks, the
// cursor and the readout. Antialiased, in logical units: crisp at any device pixel ratio.
void paintChart(QPainter& painter, const QRectF& area, const ChartScene& scene);

// "1:02:03.5", "2:03", "14:03:07": a time on the axis or in a readout; `fine` adds tenths or
// milliseconds.
QString timeLabel(const ChartData* data, double t, TimeStyle style, int decimals);
// "14:03:07" for a local time given as seconds since the epoch.
QString clockLabel(double wallSeconds, int decimals);

}  // namespace ignivex::chart
