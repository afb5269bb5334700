#include "strips/StripPainter.h"

#include "series/Scales.h"
#include "strips/OverlayStyle.h"

#include "acquire/Sample.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace ignivex::chart {

namespace {

// A pen of one pixel keeps the raster engine on its fast path for lines.
constexpr double kLineWidth = 1.0;
constexpr int kAnalogueWeight = 3;
constexpr int kStepWeight = 1;
constexpr double kStepLow = -0.25, kStepHigh = 1.25;
constexpr double kMinTickSpacingPx = 84;
constexpr double kTimeSteps[] = {0.01, 0.02, 0.05, 0.1,  0.2,   0.5,   1,    2,
                                 5,    10,   15,   30,   60,    120,   300,  600,
                                 900,  1800, 3600, 7200, 10800, 21600, 43200};
constexpr double kClockSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
// Whatever the numbers, a picture draws a bounded number of lines and labels.
constexpr long long kMaxValueLabels = 12;
constexpr int kMaxTimeTicks = 400;
// About 31 700 years in seconds; a time beyond it is not split into hours and minutes.
constexpr double kLargestLabelled = 1e12;

const QColor kBackground(255, 255, 255);
const QColor kStripFill(250, 250, 250);
const QColor kFrame(190, 190, 190);
const QColor kGrid(228, 228, 228);
const QColor kText(40, 40, 40);
const QColor kCursor(214, 110, 0);
const QColor kCursorB(0, 120, 170);
const QColor kSpan(0, 120, 170, 28);
const QColor kPointer(90, 90, 90);
const QColor kUserMark(120, 40, 150);
// The length of a piece of an overlay's line in a legend.
constexpr double kSampleLength = 16;
// A mark an alarm wrote ("alarm: battery low") stands out from the user's own.
const QColor kAlarmMark(200, 30, 30);

QColor overlayColour(int index, const StripChannel& channel) {
    return chart::overlayColour(index, channel.info, colourOf(channel.info));
}

// The channel's column in rows `d`: the arrangement may have been made for another table (the
// overlay's, say) whose channels are the module's and others in another order, or fewer.
std::optional<ChannelId> channelIn(const ChartData& d, const StripChannel& channel) {
    if (channel.id < d.table.channelCount() &&
        d.table.channel(channel.id).column == channel.info.column)
        return channel.id;
    return d.table.channelNamed(channel.info.column);
}

QColor markColour(std::uint8_t status) {
    switch (Sample::End(status)) {
    case Sample::End::LinkLost:
        return QColor(210, 30, 30);
    case Sample::End::Escape:
        return QColor(235, 150, 0);
    case Sample::End::Ignored:
        return QColor(150, 60, 200);
    case Sample::End::Held:
        return QColor(30, 110, 220);
    case Sample::End::Surplus:
        return QColor(160, 100, 40);
    default:
        return QColor(120, 120, 120);
    }
}

using tools::decimalsFor;
using tools::niceStep;

struct Range {
    double low, high, step;
};
const Range kStepRange{kStepLow, kStepHigh, 1};

int ticksFor(double height) {
    return std::clamp(int(height / 22), 2, 6);
}

// A value range that holds the extent, is at least `minSpan` wide, and ends on whole ticks.
Range valueRange(const Extent& e, double minSpan, double height) {
    double low = e.empty() ? 0 : e.min;
    double high = e.empty() ? minSpan : e.max;
    // Far from zero a float's own spacing can be wider than the narrowest span: widen to it,
    // so the strip always has a height in values.
    minSpan = std::max(minSpan, std::max(std::abs(low), std::abs(high)) * 1e-6);
    if (high - low < minSpan) {
        const double middle = low / 2 + high / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    const double pad = (high - low) * 0.04;
    low -= pad;
    high += pad;
    const double step = niceStep((high - low) / ticksFor(height));
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

int inputCount(const StripGroup& group) {
    return int(std::count_if(group.series.begin(), group.series.end(),
                             [](const StripChannel& s) { return s.info.onOff(); }));
}

// An input's 0 and 1 on its strip: over the whole height when it is the strip's only input,
// else in its lane, the first input's at the top.
Range laneRange(const StripGroup& group, const StripChannel& input) {
    const int lanes = inputCount(group);
    int lane = 0;
    for (const StripChannel& s : group.series) {
        if (s == input)
            break;
        lane += s.info.onOff() ? 1 : 0;
    }
    const double span = kStepHigh - kStepLow;
    const double low = kStepLow - (lanes - 1 - lane) * span;
    return {low, low + lanes * span, 1};
}

// The rows of `d` that fall in the view [t0, t1] once moved by `shift`.
std::pair<std::size_t, std::size_t> rowsIn(const ChartData& d, double t0, double t1, double shift) {
    const auto& e = d.table.elapsed;
    const auto begin = std::lower_bound(e.begin(), e.end(), t0 - shift);
    const auto end = std::upper_bound(begin, e.end(), t1 - shift);
    return {std::size_t(begin - e.begin()), std::size_t(end - e.begin())};
}

void include(Extent& extent, const ChartData& d, const StripChannel& series,
             std::pair<std::size_t, std::size_t> rows) {
    const std::optional<ChannelId> own = channelIn(d, series);
    if (!own)
        return;
    const std::vector<float>& values = d.table.column(*own);
    if (const MinMaxIndex* idx = d.index(*own))
        extent.include(idx->range(values, rows.first, rows.second));
    else
        for (std::size_t i = rows.first; i < rows.second; ++i)
            extent.include(values[i]);
}

// The scale of a strip of height `height`: fixed by the user, or fitted to its values in view,
// the overlay's with them so both recordings' curves compare.
Range stripRange(const ChartScene& scene, const StripGroup& group, double height) {
    if (group.fixed) {
        const double step = niceStep((group.fixed->high - group.fixed->low) / ticksFor(height));
        return {group.fixed->low, group.fixed->high, step};
    }
    Extent visible;
    double minSpan = 0;
    for (const StripChannel& series : group.series) {
        if (series.info.onOff())
            continue;
        minSpan = std::max(minSpan, series.info.minSpan);
        include(visible, *scene.data, series, rowsIn(*scene.data, scene.t0, scene.t1, 0));
        for (const SceneOverlay& o : scene.overlays)
            include(visible, *o.data, series, rowsIn(*o.data, scene.t0, scene.t1, o.shift));
    }
    return valueRange(visible, minSpan, height);
}

// The value shown after a series' name: its number and unit.
QString readoutText(const ChartData& data, const StripChannel& series, double t) {
    const std::optional<ChannelId> own = channelIn(data, series);
    const auto v = own ? valueAt(data, *own, t) : std::nullopt;
    if (!v)
        return QStringLiteral("\u2013");
    QString value = QString::number(double(*v), 'f', series.info.shownDecimals);
    const QString& unit = series.info.unit;
    if (!unit.isEmpty())
        value += (unit == QStringLiteral("\u00b0") ? QString() : QStringLiteral(" ")) + unit;
    return value;
}

bool hasLegend(const ChartScene& scene) {
    return !scene.title.isEmpty() && !scene.overlays.empty() && !scene.runName.isEmpty();
}

// Below the title, and the legend of the files when there is one.
QRectF chartArea(const QRectF& whole, const ChartScene& scene) {
    QRectF area = whole;
    const double line = QFontMetricsF(scene.font).height() + 6;
    if (!scene.title.isEmpty())
        area.setTop(whole.top() + 2 + line * (hasLegend(scene) ? 2 : 1));
    return area;
}

double timeStep(double secondsPerPixel, TimeStyle style) {
    // By the clock the steps are those a clock face is read in; they end at ten minutes, the
    // longest live view. From the start of a recording, longer views go on in 1-2-5 steps.
    const auto* steps =
        style == TimeStyle::TimeOfDay ? std::begin(kClockSteps) : std::begin(kTimeSteps);
    const auto* end = style == TimeStyle::TimeOfDay ? std::end(kClockSteps) : std::end(kTimeSteps);
    for (const auto* s = steps; s != end; ++s) {
        if (*s / secondsPerPixel >= kMinTickSpacingPx)
            return *s;
    }
    if (style == TimeStyle::TimeOfDay)
        return *(end - 1);
    return std::max(*(end - 1), niceStep(secondsPerPixel * kMinTickSpacingPx));
}

// Seconds since the epoch, local, at elapsed time t: the row before t plus the time since it.
double wallSecondsAt(const ChartData& data, double t) {
    const std::size_t row = data.rowAt(t);
    return (double(data.table.wallMs[row]) / 1000.0 + data.table.utcOffsetSeconds) +
           (t - data.table.elapsed[row]);
}

struct Painter {
    QPainter& p;
    const ChartScene& scene;
    const ChartData& data;
    QRectF area;
    ChartLayout layout;
    QFontMetricsF fm;
    double columnsPerPixel;

    double x(double t) const { return layout.xOf(t, scene.t0, scene.t1); }

    std::pair<std::size_t, std::size_t> rowsInView() const { return rowsInView(data, 0); }
    std::pair<std::size_t, std::size_t> rowsInView(const ChartData& d, double shift) const {
        return rowsIn(d, scene.t0, scene.t1, shift);
    }

    void leftOut(const QRectF& r) {
        if (!scene.leftOut)
            return;
        const QColor shade(120, 120, 140, 56);
        const auto& out = *scene.leftOut;
        const auto first = std::lower_bound(out.begin(), out.end(), scene.t0,
                                            [](const Gap& g, double t) { return g.to < t; });
        for (auto g = first; g != out.end() && g->from <= scene.t1; ++g) {
            const double left = std::max(r.left(), x(g->from));
            const double right = std::min(r.right(), x(g->to));
            // At least a pixel wide, so a single row left out still shows.
            if (right >= left)
                p.fillRect(QRectF(left, r.top(), std::max(right - left, 1.0), r.height()), shade);
        }
    }

    void gaps(const QRectF& r) {
        QBrush hatch(QColor(200, 200, 200), Qt::BDiagPattern);
        const auto first = std::lower_bound(data.gaps.begin(), data.gaps.end(), scene.t0,
                                            [](const Gap& g, double t) { return g.to < t; });
        for (auto g = first; g != data.gaps.end() && g->from <= scene.t1; ++g) {
            const double left = std::max(r.left(), x(g->from));
            const double right = std::min(r.right(), x(g->to));
            if (right > left)
                p.fillRect(QRectF(left, r.top(), right - left, r.height()), hatch);
        }
    }

    // The series of `d` (the recording, or overlay number `overlay` moved by `shift`, drawn in
    // that overlay's dashes and shade).
    void line(const QRectF& r, const StripChannel& series, const Range& range, std::size_t i0,
              std::size_t i1, const ChartData& d, double shift = 0, int overlay = -1) {
        const std::optional<ChannelId> own = channelIn(d, series);
        if (!own)
            return;
        const std::vector<float>& values = d.table.column(*own);
        const std::vector<double>& times = d.table.elapsed;
        auto x = [&](double t) { return this->x(t + shift); };
        const QColor colour = overlay >= 0 ? overlayColour(overlay, series) : colourOf(series.info);
        auto y = [&](double v) {
            return r.bottom() - (v - range.low) / (range.high - range.low) * r.height();
        };
        p.save();
        p.setClipRect(r.adjusted(0, -1, 0, 1));
        QPen pen = overlay >= 0 ? overlayPen(overlay, colour, kLineWidth) : QPen(colour, kLineWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        const int columns = std::max(1, int(std::ceil(layout.plot.width() * columnsPerPixel)));
        QPolygonF run;
        auto flush = [&] {
            if (run.size() == 1)
                p.drawPoint(run.first());
            else if (run.size() > 1)
                p.drawPolyline(run);
            run.clear();
        };
        if (i1 - i0 <= std::size_t(columns) * 2) {
            // Few enough to draw each row, with one row either side so the line leaves the view.
            const std::size_t from = i0 > 0 ? i0 - 1 : 0;
            const std::size_t to = std::min(i1 + 1, times.size());
            for (std::size_t i = from; i < to; ++i) {
                const float v = values[i];
                if (std::isnan(v) || (i > from && times[i] - times[i - 1] > d.gapThreshold)) {
                    flush();
                    if (std::isnan(v))
                        continue;
                }
                const QPointF point(x(times[i]), y(v));
                if (series.info.onOff() && !run.isEmpty())
                    run << QPointF(point.x(), run.last().y());
                run << point;
            }
        } else {
            // Dense: one bar a device pixel wide per column, from its minimum to its maximum and
            // reaching back to where the column before ended, so the trace is unbroken. Bars are
            // far cheaper to fill than a stroked line through every extreme.
            const std::vector<ColumnExtent> cols =
                reduce(times, values, d.index(*own), scene.t0 - shift, scene.t1 - shift, columns);
            const double width = layout.plot.width() / columns;
            p.setRenderHint(QPainter::Antialiasing, false);
            // A drawing (SVG, PDF) gets the envelope as one polygon per unbroken stretch, not
            // thousands of one-pixel bars; a raster picture fills bars, which is faster there.
            const bool vector = p.paintEngine() && p.paintEngine()->type() != QPaintEngine::Raster;
            QPolygonF upper, lower;
            auto flushEnvelope = [&] {
                if (upper.size() > 1) {
                    std::reverse(lower.begin(), lower.end());
                    p.setPen(Qt::NoPen);
                    p.setBrush(colour);
                    p.drawPolygon(upper + lower);
                    p.setBrush(Qt::NoBrush);
                }
                upper.clear();
                lower.clear();
            };
            // The overlay's columns in dashes, counted from its time 0 so they move with it.
            const OverlayStyle style = overlayStyle(std::max(overlay, 0));
            const double on = std::max(1.0, std::round(style.dashOn * columnsPerPixel));
            const double period = on + std::max(1.0, std::round(style.dashOff * columnsPerPixel));
            const double phase = std::fmod(
                std::floor((scene.t0 - shift) / ((scene.t1 - scene.t0) / columns)), period);
            auto dashed = [&](int c) {
                const double at = std::fmod(phase + c, period);
                return overlay >= 0 && (at < 0 ? at + period : at) >= on;
            };
            float before = kNoValue;
            for (int c = 0; c < columns; ++c) {
                const ColumnExtent& col = cols[std::size_t(c)];
                if (!col.extent.empty() && dashed(c)) {
                    before = col.last;
                    if (vector)
                        flushEnvelope();
                    continue;
                }
                if (col.extent.empty()) {
                    before = kNoValue;
                    if (vector)
                        flushEnvelope();
                    continue;
                }
                double top = y(col.extent.max), bottom = y(col.extent.min);
                if (!std::isnan(before)) {
                    top = std::min(top, y(before));
                    bottom = std::max(bottom, y(before));
                }
                if (bottom - top < kLineWidth) {
                    const double middle = (top + bottom) / 2;
                    top = middle - kLineWidth / 2;
                    bottom = middle + kLineWidth / 2;
                }
                const double left = layout.plot.left() + c * width;
                if (vector) {
                    upper << QPointF(left, top) << QPointF(left + width, top);
                    lower << QPointF(left, bottom) << QPointF(left + width, bottom);
                } else {
                    p.fillRect(QRectF(left, top, width, bottom - top), colour);
                }
                before = col.last;
            }
            if (vector)
                flushEnvelope();
        }
        flush();
        p.restore();
    }

    void strip(int index, double readout, std::pair<std::size_t, std::size_t> rows,
               const std::vector<double>& timeTicks) {
        const StripGroup& group = scene.strips.strips[std::size_t(index)];
        const QRectF r = layout.strip(index);
        p.fillRect(r, kStripFill);
        leftOut(r);
        gaps(r);

        const bool scaled = hasScale(group);
        const bool lanes = !scaled && inputCount(group) > 1;
        const Range range = scaled ? stripRange(scene, group, r.height()) : kStepRange;
        auto y = [&](double v) {
            return r.bottom() - (v - range.low) / (range.high - range.low) * r.height();
        };
        p.setPen(QPen(kGrid, 1));
        for (double t : timeTicks)
            p.drawLine(QPointF(x(t), r.top()), QPointF(x(t), r.bottom()));
        const int decimals = decimalsFor(range.step);
        // A fixed scale need not end on whole ticks: the labels are the whole ticks within it.
        const double first = scaled ? std::ceil(range.low / range.step - 1e-9) * range.step : 0;
        const double last = scaled ? std::floor(range.high / range.step + 1e-9) * range.step : 1;
        // Counted, not summed: at 1e17 a step added to a value no longer changes it.
        const auto labels = lanes ? -1
                                  : std::clamp<long long>(std::llround((last - first) / range.step),
                                                          0, kMaxValueLabels);
        for (long long i = 0; i <= labels; ++i) {
            const double v = first + double(i) * range.step;
            p.setPen(QPen(kGrid, 1));
            p.drawLine(QPointF(r.left(), y(v)), QPointF(r.right(), y(v)));
            p.setPen(kText);
            // Kept within the strip, so neighbouring strips' labels never meet.
            const double top =
                std::clamp(y(v) - fm.height() / 2, r.top() - 2, r.bottom() - fm.height() + 2);
            const QRectF label(layout.plot.left() - 200 - 5, top, 200, fm.height());
            p.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(std::abs(v) < range.step * 1e-6 ? 0.0 : v, 'f', decimals));
        }
        // The first series is drawn last, on top. Inputs keep their own 0 and 1, each in a lane
        // of its own when several share the strip.
        for (auto s = group.series.rbegin(); s != group.series.rend(); ++s) {
            const Range own = s->info.onOff() ? laneRange(group, *s) : range;
            for (int o = int(scene.overlays.size()) - 1; o >= 0; --o) {
                const SceneOverlay& overlay = scene.overlays[std::size_t(o)];
                const auto [o0, o1] = rowsInView(*overlay.data, overlay.shift);
                line(r, *s, own, o0, o1, *overlay.data, overlay.shift, o);
            }
            line(r, *s, own, rows.first, rows.second, data);
        }
        p.setPen(QPen(kFrame, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        legend(group, r, readout);
    }

    // In the gutter: each series' name and unit in its colour, and its value at the pointer,
    // the cursor or the latest row: on two lines while there is room, else on one. Inputs in
    // lanes are named beside their lanes.
    void legend(const StripGroup& group, const QRectF& r, double readout) {
        QFont bold = scene.font;
        bold.setBold(true);
        p.setFont(bold);
        const QFontMetricsF bfm(bold);
        const QRectF gutter(area.left() + 4, r.top(), layout.nameWidth, r.height());
        const int count = int(group.series.size());
        const int room = std::max(1, int(r.height() / bfm.height()));
        const bool twoLines = room >= 2 * count;
        const bool lanes = !hasScale(group) && inputCount(group) > 1;
        // With overlays, theirs too: each on a line of its own while there is room, else
        // together on one.
        const int overlays = int(scene.overlays.size());
        const bool eachOwn = overlays > 1 && room >= (2 + overlays) * count;
        const bool ownLine = overlays > 0 && room >= 3 * count;
        const int lines = eachOwn ? 2 + overlays : ownLine ? 3 : 2;
        for (int i = 0; i < count && (lanes || i < room); ++i) {
            const StripChannel& s = group.series[std::size_t(i)];
            p.setPen(colourOf(s.info).darker(115));
            const QString label = labelOf(s.info, scene.mapRange);
            const QString value = readoutText(data, s, readout);
            QStringList others;
            for (const SceneOverlay& o : scene.overlays)
                others << readoutText(*o.data, s, readout - o.shift);
            const QString lead = label + QStringLiteral("  ");
            if (lanes || (count == 1 && s.info.onOff())) {
                const double top = lanes ? r.top() + r.height() * i / count : r.top();
                values(QRectF(gutter.left(), top, gutter.width(), r.height() / (lanes ? count : 1)),
                       s, lead + value, others);
            } else if (twoLines) {
                const double top = gutter.top() + lines * i * bfm.height();
                p.drawText(QRectF(gutter.left(), top, gutter.width(), bfm.height()),
                           Qt::AlignLeft | Qt::AlignVCenter,
                           bfm.elidedText(label, Qt::ElideRight, gutter.width()));
                const QRectF second(gutter.left(), top + bfm.height(), gutter.width(),
                                    bfm.height());
                if (eachOwn) {
                    values(second, s, value, {});
                    for (int o = 0; o < overlays; ++o)
                        values(second.translated(0, (o + 1) * bfm.height()), s, {}, {others[o]}, o);
                } else if (ownLine) {
                    values(second, s, value, {});
                    values(second.translated(0, bfm.height()), s, {}, others);
                } else {
                    values(second, s, value, others);
                }
            } else {
                values(QRectF(gutter.left(), gutter.top() + i * bfm.height(), gutter.width(),
                              bfm.height()),
                       s, lead + value, others);
            }
        }
        p.setFont(scene.font);
    }

    // A piece of a series' line, solid or overlay `overlay`'s dashes, as a legend shows it.
    void sample(double left, double y, double length, const QColor& colour, int overlay) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(overlay >= 0 ? overlayPen(overlay, colour, 2) : QPen(colour, 2));
        p.drawLine(QPointF(left, y), QPointF(left + length, y));
        p.restore();
    }

    // `text` in the series' colour, then each overlay's value after a piece of its line, in its
    // colour, as far as there is room; `others` begins with overlay `first`'s.
    void values(const QRectF& box, const StripChannel& s, const QString& text,
                const QStringList& others, int first = 0) {
        const QFontMetricsF bfm(p.font());
        if (others.isEmpty()) {
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                       bfm.elidedText(text, Qt::ElideMiddle, box.width()));
            return;
        }
        const double width =
            text.isEmpty() ? 0 : std::min(bfm.horizontalAdvance(text), box.width());
        p.drawText(QRectF(box.left(), box.top(), width, box.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, bfm.elidedText(text, Qt::ElideMiddle, width));
        double at = box.left() + width + (text.isEmpty() ? 0 : 6);
        const QPen own = p.pen();
        for (int i = 0; i < others.size() && at + kSampleLength < box.right(); ++i) {
            const int o = first + i;
            sample(at, std::round(box.center().y()) + 0.5, kSampleLength, overlayColour(o, s), o);
            p.setPen(overlayColour(o, s).darker(125));
            const double left = at + kSampleLength + 3;
            const double room = std::max(0.0, box.right() - left);
            const QString shown = bfm.elidedText(others[i], Qt::ElideRight, room);
            p.drawText(QRectF(left, box.top(), room, box.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, shown);
            at = left + bfm.horizontalAdvance(shown) + 8;
        }
        p.setPen(own);
    }

    // Under the title of a picture with overlays: each file beside a piece of its line.
    void fileLegend(const QRectF& band) {
        double left = band.left();
        const double y = std::round(band.center().y()) + 0.5;
        const int count = int(scene.overlays.size()) + 1;
        for (int i = 0; i < count; ++i) {
            QString name = i == 0 ? scene.runName : scene.overlays[std::size_t(i - 1)].name;
            const double room = band.right() - left - 28;
            if (room <= 0)
                break;
            name = fm.elidedText(name, Qt::ElideMiddle, room / (count - i));
            sample(left, y, 22, kText, i - 1);
            p.setPen(kText);
            p.drawText(QRectF(left + 28, band.top(), room, band.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, name);
            left += 28 + fm.horizontalAdvance(name) + 24;
        }
    }

    // The ticks in view; `shift` turns a tick's time into the time its label shows.
    std::vector<double> timeTicks(double& step, double& shift) const {
        const double secondsPerPixel = (scene.t1 - scene.t0) / std::max(1.0, layout.plot.width());
        step = timeStep(secondsPerPixel, scene.timeStyle);
        std::vector<double> ticks;
        // By the clock, ticks fall on whole clock times; from the start, on whole elapsed times.
        shift = 0;
        if (scene.timeStyle == TimeStyle::TimeOfDay)
            shift = wallSecondsAt(data, scene.t0) - scene.t0;
        const double first = std::ceil((scene.t0 + shift) / step);
        for (int i = 0; i < kMaxTimeTicks; ++i) {
            const double t = (first + i) * step - shift;
            if (!(t <= scene.t1))
                break;
            ticks.push_back(t);
        }
        return ticks;
    }

    // The stretch between the two cursors, lightly shaded over every strip.
    void span(double a, double b) {
        const double left = std::clamp(x(std::min(a, b)), layout.plot.left(), layout.plot.right());
        const double right = std::clamp(x(std::max(a, b)), layout.plot.left(), layout.plot.right());
        if (right > left)
            p.fillRect(QRectF(left, layout.plot.top(), right - left, layout.plot.height()), kSpan);
    }

    void timeMark(double t, const QColor& colour, Qt::PenStyle style, int decimals) {
        const double px = x(t);
        if (px < layout.plot.left() - 0.5 || px > layout.plot.right() + 0.5)
            return;
        p.setPen(QPen(colour, style == Qt::SolidLine ? 1.6 : 1.0, style));
        p.drawLine(QPointF(px, layout.plot.top()), QPointF(px, layout.plot.bottom()));
        const QString text = timeLabel(&data, t, scene.timeStyle, decimals);
        const double w = fm.horizontalAdvance(text) + 10;
        const double left = std::max(area.left() + 2, std::min(px - w / 2, area.right() - w - 2));
        const QRectF box(left, layout.axis.top() + 3, w, fm.height() + 2);
        p.setPen(colour);
        p.setBrush(kBackground);
        p.drawRect(box);
        p.setPen(colour.darker(130));
        p.drawText(box, Qt::AlignCenter, text);
        p.setBrush(Qt::NoBrush);
    }

    // The user's marks: a dashed line over every strip, its text at the top while there is room
    // (no more than a few dozen in view are named).
    void userMarks() {
        const auto& t = data.table;
        int named = 0;
        double lastRight = -1e300;
        const int columns = std::max(1, int(std::ceil(layout.plot.width())));
        for (const std::size_t index : userMarksToDraw(data, scene.t0, scene.t1, columns)) {
            const record::Table::Mark& m = t.userMarks[index];
            const double px = x(t.elapsed[m.row]);
            const QColor colour =
                m.text.startsWith(QLatin1String("alarm:")) ? kAlarmMark : kUserMark;
            // One pixel wide and not smoothed: as many lines as columns stay cheap to draw.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(colour, 1, Qt::DashLine));
            p.drawLine(QPointF(px, layout.plot.top()), QPointF(px, layout.plot.bottom()));
            p.setRenderHint(QPainter::Antialiasing, true);
            if (named >= 40 || px < lastRight)
                continue;
            const QString text = fm.elidedText(m.text, Qt::ElideRight, 160);
            const QRectF box(px + 3, layout.plot.top() + 1, fm.horizontalAdvance(text) + 6,
                             fm.height());
            p.fillRect(box, kBackground);
            p.setPen(colour);
            p.drawText(box, Qt::AlignCenter, text);
            lastRight = box.right() + 4;
            ++named;
        }
    }

    void axis(const std::vector<double>& ticks, double step, double shift) {
        const QRectF a = layout.axis;
        p.setPen(QPen(kFrame, 1));
        p.drawLine(a.topLeft(), a.topRight());
        p.setPen(kText);
        const int decimals = step < 1 ? decimalsFor(step) : 0;
        for (double t : ticks) {
            const double px = x(t);
            p.drawLine(QPointF(px, a.top()), QPointF(px, a.top() + 4));
            // A tick is labelled with the time it was placed on, not with the time of day the
            // rows near it carry: wall clock and monotonic clock drift apart, and a label read
            // from the rows would wander off its grid line.
            const QString text = scene.timeStyle == TimeStyle::TimeOfDay
                                     ? clockLabel(t + shift, decimals)
                                     : timeLabel(&data, t, scene.timeStyle, decimals);
            p.drawText(QRectF(px - 100, a.top() + 4, 200, fm.height() + 2), Qt::AlignCenter, text);
        }
        // The marks: one per pixel column at most, found by skipping ahead.
        const QRectF row(a.left(), a.top() + fm.height() + 8, a.width(),
                         a.bottom() - a.top() - fm.height() - 10);
        const auto& marks = data.marks;
        auto it = std::lower_bound(marks.begin(), marks.end(), scene.t0,
                                   [](const Mark& m, double t) { return m.time < t; });
        const double secondsPerPixel = (scene.t1 - scene.t0) / std::max(1.0, a.width());
        while (it != marks.end() && it->time <= scene.t1) {
            const double px = x(it->time);
            p.fillRect(QRectF(px - 1.5, row.top(), 3, row.height()), markColour(it->status));
            const double next = it->time + secondsPerPixel * 2;
            it = std::lower_bound(it + 1, marks.end(), next,
                                  [](const Mark& m, double t) { return m.time < t; });
        }
        for (const Gap& g : data.gaps) {
            if (g.to < scene.t0 || g.from > scene.t1)
                continue;
            const double left = std::max(a.left(), x(g.from));
            const double right = std::min(a.right(), x(g.to));
            p.fillRect(QRectF(left, row.top() + row.height() / 3, std::max(1.0, right - left),
                              row.height() / 3),
                       QColor(150, 150, 150));
        }
    }
};

}  // namespace

ChartLayout::ChartLayout(const QRectF& area, const QFont& font, const Arrangement& strips) {
    const QFontMetricsF fm(font);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF bfm(bold);
    // As wide as the widest label, whichever series are shown, so the plot does not move when
    // the choice changes.
    nameWidth = bfm.horizontalAdvance(QStringLiteral("GPI3  1"));
    for (const record::ChannelInfo& channel : strips.channels)
        nameWidth =
            std::max(nameWidth, bfm.horizontalAdvance(labelOf(channel, QStringLiteral("0 to 100"))));
    nameWidth += 6;
    const double left = nameWidth + fm.horizontalAdvance(QStringLiteral("-8888.8")) + 12;
    const double axisHeight = fm.height() * 2 + 14;
    plot = QRectF(area.left() + left, area.top() + 4, std::max(10.0, area.width() - left - 14),
                  std::max(40.0, area.height() - 4 - axisHeight));
    axis = QRectF(plot.left(), plot.bottom(), plot.width(), axisHeight);
    spacing_ = 6;
    int total = 0;
    for (const StripGroup& group : strips.strips) {
        weights_.push_back(hasScale(group) ? kAnalogueWeight
                                           : kStepWeight * std::max(1, inputCount(group)));
        total += weights_.back();
    }
    unit_ =
        std::max(1.0, (plot.height() - spacing_ * std::max(0, count() - 1)) / std::max(1, total));
}

QRectF ChartLayout::strip(int index) const {
    double top = plot.top();
    for (int s = 0; s < index; ++s)
        top += weights_[std::size_t(s)] * unit_ + spacing_;
    return QRectF(plot.left(), top, plot.width(), weights_[std::size_t(index)] * unit_);
}

int ChartLayout::stripAt(double y) const {
    for (int i = 0; i < count(); ++i) {
        const QRectF r = strip(i);
        if (y >= r.top() && y <= r.bottom())
            return i;
    }
    return -1;
}

bool hasScale(const StripGroup& group) {
    return std::any_of(group.series.begin(), group.series.end(),
                       [](const StripChannel& s) { return !s.info.onOff(); });
}

std::optional<FixedScale> scaleShown(const ChartScene& scene, const QRectF& whole, int index) {
    if (index < 0 || index >= int(scene.strips.strips.size()))
        return std::nullopt;
    const StripGroup& group = scene.strips.strips[std::size_t(index)];
    if (!hasScale(group))
        return std::nullopt;
    if (group.fixed)
        return group.fixed;
    if (!scene.data || scene.data->table.empty() || !(scene.t1 > scene.t0))
        return std::nullopt;
    const ChartLayout layout(chartArea(whole, scene), scene.font, scene.strips);
    const Range r = stripRange(scene, group, layout.strip(index).height());
    return FixedScale{r.low, r.high};
}

double ChartLayout::xOf(double t, double t0, double t1) const {
    return plot.left() + (t - t0) / (t1 - t0) * plot.width();
}

double ChartLayout::timeAt(double x, double t0, double t1) const {
    return t0 + (x - plot.left()) / plot.width() * (t1 - t0);
}

std::vector<std::size_t> userMarksToDraw(const ChartData& data, double t0, double t1, int columns) {
    std::vector<std::size_t> out;
    const record::Table& t = data.table;
    const auto& marks = t.userMarks;
    if (marks.empty() || t.empty() || !(t1 > t0) || columns <= 0)
        return out;
    // The marks are in the order of their rows, the rows in the order of their times.
    const double perColumn = (t1 - t0) / columns;
    auto firstFrom = [&](double time, auto from) {
        const auto row = std::size_t(std::lower_bound(t.elapsed.begin(), t.elapsed.end(), time) -
                                     t.elapsed.begin());
        return std::lower_bound(
            from, marks.end(), row,
            [](const record::Table::Mark& m, std::size_t r) { return m.row < r; });
    };
    for (auto it = firstFrom(t0, marks.begin());
         it != marks.end() && it->row < t.size() && t.elapsed[it->row] <= t1;) {
        out.push_back(std::size_t(it - marks.begin()));
        const double column = std::floor((t.elapsed[it->row] - t0) / perColumn);
        it = firstFrom(t0 + (column + 1) * perColumn, it + 1);
    }
    return out;
}

std::optional<float> valueAt(const ChartData& data, ChannelId series, double t) {
    if (data.table.empty() || t < data.start() || t > data.end() + data.gapThreshold)
        return std::nullopt;
    const float v = data.table.column(series)[data.rowAt(t)];
    if (std::isnan(v))
        return std::nullopt;
    return v;
}

QString clockLabel(double wallSeconds, int decimals) {
    if (!std::isfinite(wallSeconds) || std::abs(wallSeconds) > kLargestLabelled)
        return QStringLiteral("?");
    const qint64 ms = qint64(std::llround(wallSeconds * 1000.0));
    const QTime time =
        QTime::fromMSecsSinceStartOfDay(int(((ms % 86400000) + 86400000) % 86400000));
    QString text = time.toString(QStringLiteral("HH:mm:ss"));
    if (decimals > 0)
        text += QLatin1Char('.') + time.toString(QStringLiteral("zzz")).left(decimals);
    return text;
}

QString timeLabel(const ChartData* data, double t, TimeStyle style, int decimals) {
    if (style == TimeStyle::TimeOfDay && data && !data->table.empty())
        return clockLabel(wallSecondsAt(*data, t), decimals);
    // Beyond what a whole count of seconds holds, the time is given as a plain number.
    if (!std::isfinite(t) || std::abs(t) > kLargestLabelled)
        return QString::number(t, 'g', 6) + QStringLiteral(" s");
    const bool negative = t < 0;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::abs(t) * scale) / scale;
    const auto whole = qint64(std::floor(rounded));
    const qint64 h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    QString text = h > 0 ? QStringLiteral("%1:%2:%3")
                               .arg(h)
                               .arg(m, 2, 10, QLatin1Char('0'))
                               .arg(s, 2, 10, QLatin1Char('0'))
                         : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    if (decimals > 0) {
        const qint64 fraction = qint64(std::llround((rounded - double(whole)) * scale));
        text +=
            QLatin1Char('.') + QStringLiteral("%1").arg(fraction, decimals, 10, QLatin1Char('0'));
    }
    return negative ? QLatin1Char('-') + text : text;
}

void paintChart(QPainter& p, const QRectF& whole, const ChartScene& scene) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(scene.font);
    p.fillRect(whole, kBackground);
    const QRectF area = chartArea(whole, scene);
    if (!scene.title.isEmpty()) {
        // A picture for a report says what it shows: the file, the day and the span.
        const QFontMetricsF fm(scene.font);
        const QRectF band(whole.left() + 6, whole.top() + 2, whole.width() - 12, fm.height() + 6);
        p.setPen(kText);
        p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(scene.title, Qt::ElideMiddle, band.width()));
    }
    const QRectF legendBand(whole.left() + 6,
                            whole.top() + 2 + QFontMetricsF(scene.font).height() + 6,
                            whole.width() - 12, QFontMetricsF(scene.font).height() + 6);
    const ChartLayout layout(area, scene.font, scene.strips);
    if (!scene.data || scene.data->table.empty() || !(scene.t1 > scene.t0)) {
        for (int i = 0; i < layout.count(); ++i) {
            const StripGroup& group = scene.strips.strips[std::size_t(i)];
            const QRectF r = layout.strip(i);
            p.fillRect(r, kStripFill);
            p.setPen(QPen(kFrame, 1));
            p.drawRect(r);
            QStringList names;
            for (const StripChannel& s : group.series)
                names << labelOf(s.info, scene.mapRange);
            p.setPen(colourOf(group.series.front().info).darker(115));
            p.drawText(r.adjusted(6, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                       names.join(QStringLiteral(", ")));
        }
        p.setPen(kText);
        p.drawText(layout.plot, Qt::AlignCenter, scene.emptyText);
        p.restore();
        return;
    }
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    Painter painter{p,
                    scene,
                    *scene.data,
                    area,
                    layout,
                    QFontMetricsF(scene.font),
                    std::max<qreal>(1.0, ratio)};
    const auto rows = painter.rowsInView();
    double step = 1, shift = 0;
    const std::vector<double> ticks = painter.timeTicks(step, shift);
    // With no pointer or cursor, the values at the view's right edge: the newest row while the
    // view follows, the time shown when it is paused or scrolled back.
    const double readout = scene.pointer  ? *scene.pointer
                           : scene.cursor ? *scene.cursor
                                          : std::min(scene.data->end(), scene.t1);
    for (int i = 0; i < layout.count(); ++i)
        painter.strip(i, readout, rows, ticks);
    painter.axis(ticks, step, shift);
    painter.userMarks();
    if (hasLegend(scene))
        painter.fileLegend(legendBand);
    const int fine = scene.timeStyle == TimeStyle::TimeOfDay ? 1 : 3;
    if (scene.cursor && scene.cursorB)
        painter.span(*scene.cursor, *scene.cursorB);
    if (scene.cursorB)
        painter.timeMark(*scene.cursorB, kCursorB, Qt::SolidLine, fine);
    if (scene.cursor)
        painter.timeMark(*scene.cursor, kCursor, Qt::SolidLine, fine);
    if (scene.pointer)
        painter.timeMark(*scene.pointer, kPointer, Qt::DashLine, fine);
    p.restore();
}

}  // namespace ignivex::chart
