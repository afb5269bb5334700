#include "review/XyPlot.h"

#include "series/ChannelText.h"

#include "strips/StripPainter.h"
#include "base/MessageText.h"

#include <QFileInfo>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace ignivex::chart {

namespace {

const QColor kBackground(255, 255, 255);
const QColor kPlotFrame(150, 150, 150);
const QColor kGridLine(232, 232, 232);
const QColor kText(40, 40, 40);
const QColor kQuiet(110, 110, 110);
const QColor kNoColourValue(160, 160, 160);
const QColor kCursor(214, 110, 0);  // the review's cursor, as the strips draw it
// The overlays' points: colours that neither colour scale holds, in squares beside the round
// dots.
const QColor kOverlays[] = {QColor(226, 40, 40), QColor(190, 0, 190), QColor(240, 140, 0)};

QColor overlayColour(int index) {
    return kOverlays[std::size_t(index) % std::size(kOverlays)];
}
constexpr double kOverlayOpacity = 0.7;
constexpr double kDotRadius = 2.4;
constexpr double kPointingRadius = 5;  // logical pixels around the mouse that name a point
constexpr int kRoughTicks = 10;  // the ranges end on a step this fine; the labels may be fewer
constexpr int kQueueMs = 60;     // resizes and choices in a burst make one picture

// Where the title, the plot and the colour legend lie in an area.
struct XyLayout {
    QRectF plot, legend;
    double line = 0;
};

XyLayout layoutOf(const QRectF& area, const QFont& font, bool legend) {
    const QFontMetricsF fm(font);
    XyLayout l;
    l.line = fm.height();
    const double labels = fm.horizontalAdvance(QStringLiteral("-00000.0"));
    const double left = std::round(labels + l.line + 16);
    const double top = std::round(2 * l.line + 18);
    const double bottom = std::round(2 * l.line + 14);
    const double right = std::round(legend ? 28 + labels + l.line + 12 : 20);
    l.plot =
        QRectF(area.left() + left, area.top() + top, std::max(area.width() - left - right, 10.0),
               std::max(area.height() - top - bottom, 10.0));
    if (legend)
        l.legend = QRectF(l.plot.right() + 16, l.plot.top(), 14, l.plot.height());
    return l;
}

double share(double v, const tools::AxisRange& r) {
    return (v - r.low) / (r.high - r.low);
}

QString tickText(double v, double step) {
    return QString::number(std::abs(v) < step * 1e-6 ? 0.0 : v, 'f', tools::decimalsFor(step));
}

QColor cellColour(const XyPicture& pic, std::size_t cell) {
    const XyGrid& g = pic.grid;
    if (!g.colourCounts.empty()) {
        const auto mean = g.colourMean(cell);
        if (!mean || !pic.colourScale)
            return kNoColourValue;
        return tools::scaleColour(share(*mean, *pic.colourScale));
    }
    return tools::densityColour(g.counts[cell], g.most);
}

// The cells with points, as dots while they are few, else as an image of `colour`.
template <typename Colour>
XyCells cellsOf(const XyGrid& g, Colour colour) {
    XyCells out;
    std::vector<std::size_t> occupied;
    for (std::size_t cell = 0; cell < g.counts.size(); ++cell) {
        if (g.counts[cell] == 0)
            continue;
        ++out.occupied;
        if (occupied.size() < std::size_t(XyPlot::kMostDots))
            occupied.push_back(cell);
    }
    if (out.occupied <= XyPlot::kMostDots) {
        out.dots = std::move(occupied);
        return out;
    }
    out.image = QImage(g.width, g.height, QImage::Format_ARGB32_Premultiplied);
    out.image.fill(Qt::transparent);
    for (int row = 0; row < g.height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(out.image.scanLine(row));
        for (int column = 0; column < g.width; ++column) {
            const std::size_t cell = g.at(column, row);
            if (g.counts[cell] > 0)
                line[column] = colour(cell).rgba();
        }
    }
    return out;
}

void widen(SpanExtent& e, const SpanExtent& other) {
    if (other.empty)
        return;
    e = e.empty ? other : SpanExtent{std::min(e.min, other.min), std::max(e.max, other.max), false};
}

XyPicture makePicture(const XyChoice& c, int width, int height, const std::atomic<bool>* cancel) {
    XyPicture out;
    const record::Table& table = c.data->table;
    SpanExtent ex = extentOf(table, c.x, c.span);
    SpanExtent ey = extentOf(table, c.y, c.span);
    // One pair of axes holds every recording's points.
    for (const XyOverlay& o : c.overlays) {
        const auto ox = o.data->table.channelNamed(c.channel(c.x).column);
        const auto oy = o.data->table.channelNamed(c.channel(c.y).column);
        if (ox)
            widen(ex, extentOf(o.data->table, *ox, o.span));
        if (oy)
            widen(ey, extentOf(o.data->table, *oy, o.span));
    }
    XyRequest request;
    request.x = c.x;
    request.y = c.y;
    request.colour = c.colour;
    request.span = c.span;
    request.width = width;
    request.height = height;
    const double nan = std::nan("");
    request.xRange = tools::niceRange(ex.empty ? nan : ex.min, ex.empty ? nan : ex.max,
                                      c.channel(c.x).minSpan, kRoughTicks);
    request.yRange = tools::niceRange(ey.empty ? nan : ey.min, ey.empty ? nan : ey.max,
                                      c.channel(c.y).minSpan, kRoughTicks);
    out.grid = binXy(table, request, cancel);
    const XyGrid& g = out.grid;
    if (g.colourRange) {
        // The bar runs from the least value to the greatest, widened only when they are one.
        tools::AxisRange r = *g.colourRange;
        const double least = std::max(c.channel(*c.colour).minSpan / 10, 1e-9);
        if (r.high - r.low < least)
            r = {(r.low + r.high) / 2 - least / 2, (r.low + r.high) / 2 + least / 2};
        out.colourScale = r;
    }
    out.cells = cellsOf(g, [&out](std::size_t cell) { return cellColour(out, cell); });
    for (std::size_t i = 0; i < c.overlays.size(); ++i) {
        const XyOverlay& o = c.overlays[i];
        const auto ox = o.data->table.channelNamed(c.channel(c.x).column);
        const auto oy = o.data->table.channelNamed(c.channel(c.y).column);
        XyPicture::Overlay points;
        if (ox && oy) {
            XyRequest own = request;
            own.x = *ox;
            own.y = *oy;
            own.colour.reset();
            own.span = o.span;
            points.grid = binXy(o.data->table, own, cancel);
            const QColor colour = overlayColour(int(i));
            points.cells = cellsOf(points.grid, [colour](std::size_t) { return colour; });
        }
        out.overlays.push_back(std::move(points));
    }
    return out;
}

}  // namespace

const record::ChannelInfo& XyChoice::channel(record::ChannelId c) const {
    static const record::Table kNone;
    const record::Table& t = data && c < data->table.channelCount() ? data->table : kNone;
    return t.channel(c < t.channelCount() ? c : 0);
}

XyPlot::XyPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("xyPlot"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    queued_.setSingleShot(true);
    queued_.setInterval(kQueueMs);
    connect(&queued_, &QTimer::timeout, this, &XyPlot::start);
    connect(&watcher_, &QFutureWatcher<XyPicture>::finished, this, [this] {
        if (pending_) {
            pending_ = false;
            start();
            return;
        }
        picture_ = watcher_.result();
        drawing_ = false;
        hovered_.reset();
        update();
        emit drawn();
    });
}

XyPlot::~XyPlot() {
    if (cancel_)
        cancel_->store(true);
    watcher_.waitForFinished();
}

void XyPlot::setChoice(const XyChoice& choice) {
    choice_ = choice;
    schedule();
}

void XyPlot::setSubtitle(const QString& text) {
    subtitle_ = text;
    update();
}

void XyPlot::setMarkedRow(std::optional<std::size_t> row) {
    if (row == marked_)
        return;
    marked_ = row;
    update();
}

void XyPlot::schedule() {
    drawing_ = true;
    queued_.start();
}

void XyPlot::start() {
    if (watcher_.isRunning()) {
        // The picture under way no longer fits: stop it, and begin again when it has ended.
        pending_ = true;
        if (cancel_)
            cancel_->store(true);
        return;
    }
    if (!choice_.data) {
        picture_ = {};
        drawing_ = false;
        hovered_.reset();
        update();
        emit drawn();
        return;
    }
    const XyLayout l = layoutOf(QRectF(rect()), font(), choice_.colour.has_value());
    const qreal ratio = devicePixelRatioF();
    const int width = int(std::lround(l.plot.width() * ratio));
    const int height = int(std::lround(l.plot.height() * ratio));
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    watcher_.setFuture(QtConcurrent::run([choice = choice_, width, height, cancel = cancel_] {
        return makePicture(choice, width, height, cancel.get());
    }));
}

QRectF XyPlot::plotArea() const {
    return layoutOf(QRectF(rect()), font(), choice_.colour.has_value()).plot;
}

QPointF XyPlot::pointOf(double x, double y) const {
    const QRectF plot = plotArea();
    const XyGrid& g = picture_.grid;
    return {plot.left() + share(x, g.xRange) * plot.width(),
            plot.bottom() - share(y, g.yRange) * plot.height()};
}

std::optional<std::size_t> XyPlot::rowNear(const QPointF& pos) const {
    const auto hit = hitNear(pos);
    if (!hit || hit->overlay >= 0)
        return std::nullopt;
    return std::size_t(picture_.grid.rows[hit->cell]);
}

std::optional<XyHit> XyPlot::hitNear(const QPointF& pos) const {
    const XyGrid& g = picture_.grid;
    if (!choice_.data || g.width <= 0 || g.height <= 0)
        return std::nullopt;
    const QRectF plot = plotArea();
    const double perX = g.width / plot.width(), perY = g.height / plot.height();
    const double cx = (pos.x() - plot.left()) * perX, cy = (pos.y() - plot.top()) * perY;
    const int reach = int(std::ceil(kPointingRadius * std::max(perX, perY)));
    double best = std::numeric_limits<double>::max();
    std::optional<XyHit> found;
    // The overlays' grids have the same cells: the nearest point of any.
    for (int overlay = -1; overlay < int(picture_.overlays.size()); ++overlay) {
        const XyGrid& grid = overlay >= 0 ? picture_.overlays[std::size_t(overlay)].grid : g;
        if (grid.counts.size() != g.counts.size())
            continue;
        for (int row = std::max(0, int(cy) - reach); row <= std::min(g.height - 1, int(cy) + reach);
             ++row) {
            for (int column = std::max(0, int(cx) - reach);
                 column <= std::min(g.width - 1, int(cx) + reach); ++column) {
                const std::size_t cell = g.at(column, row);
                if (grid.counts[cell] == 0)
                    continue;
                const double d = std::hypot((column + 0.5 - cx) / perX, (row + 0.5 - cy) / perY);
                if (d <= kPointingRadius && d < best) {
                    best = d;
                    found = XyHit{cell, overlay};
                }
            }
        }
    }
    return found;
}

const XyGrid& XyPlot::gridOf(int overlay) const {
    return overlay >= 0 && std::size_t(overlay) < picture_.overlays.size()
               ? picture_.overlays[std::size_t(overlay)].grid
               : picture_.grid;
}

QString XyPlot::describeRow(std::size_t row, int overlay) const {
    const bool theirs = overlay >= 0 && std::size_t(overlay) < choice_.overlays.size();
    const ChartData& data = theirs ? *choice_.overlays[std::size_t(overlay)].data : *choice_.data;
    const record::Table& t = data.table;
    QStringList values;
    QList<record::ChannelId> shown = {choice_.x, choice_.y};
    if (choice_.colour)
        shown << *choice_.colour;
    for (record::ChannelId v : shown) {
        const record::ChannelInfo& entry = choice_.channel(v);
        const auto own = t.channelNamed(entry.column);
        const float value = own ? t.column(*own)[row] : std::nanf("");
        values << QStringLiteral("%1 %2%3").arg(
            entry.name,
            std::isfinite(value) ? QString::number(value, 'f', entry.shownDecimals)
                                 : QStringLiteral("not read"),
            std::isfinite(value) ? tools::unitSuffix(entry) : QString());
    }
    QString text = QStringLiteral("%1 (row %2): %3")
                       .arg(timeLabel(&data, t.elapsed[row], TimeStyle::Elapsed, 3))
                       .arg(row + 1)
                       .arg(values.join(QStringLiteral(", ")));
    // With overlays shown, each point says which file it is of.
    if (!choice_.overlays.empty())
        text = QStringLiteral("%1%2, ").arg(
                   theirs ? QStringLiteral("Overlay %1 ").arg(overlay + 1) : QString(),
                   theirs ? choice_.overlays[std::size_t(overlay)].name : choice_.name) +
               text;
    const XyGrid& grid = gridOf(hovered_ ? hovered_->overlay : -1);
    if (hovered_ && hovered_->cell < grid.counts.size() && grid.counts[hovered_->cell] > 1)
        text += QStringLiteral("; %1 points in this pixel, the last of them named")
                    .arg(QLocale().toString(grid.counts[hovered_->cell]));
    return text;
}

void XyPlot::paint(QPainter& p, const QRectF& area) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font());
    p.fillRect(area, kBackground);
    const XyLayout l = layoutOf(area, font(), choice_.colour.has_value());
    const QFontMetricsF fm(font());
    const XyPicture& pic = picture_;
    const XyGrid& g = pic.grid;

    // The title says what is plotted, the line under it from where.
    const tools::Details& details = choice_.details;
    QString title = QStringLiteral("%1 against %2")
                        .arg(tools::channelTitle(choice_.channel(choice_.y), details),
                             tools::channelTitle(choice_.channel(choice_.x), details));
    if (choice_.colour)
        title += QStringLiteral(", coloured by ") +
                 tools::channelTitle(choice_.channel(*choice_.colour), details);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(kText);
    const QRectF titleBox(area.left() + 8, area.top() + 4, area.width() - 16, l.line + 2);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(bold).elidedText(title, Qt::ElideRight, titleBox.width()));
    p.setFont(font());
    p.setPen(kQuiet);
    QString sub = subtitle_;
    if (choice_.data && !busy())
        sub += QStringLiteral(" \u00b7 %1 points").arg(QLocale().toString(g.points));
    QRectF subBox = titleBox.translated(0, l.line + 2);
    // Right of it, each overlay's square and file, the last rightmost.
    const int count = busy() ? 0 : int(std::min(choice_.overlays.size(), pic.overlays.size()));
    for (int i = count - 1; i >= 0; --i) {
        const QString other =
            QStringLiteral("%1 \u00b7 %2 points")
                .arg(choice_.overlays[std::size_t(i)].name,
                     QLocale().toString(pic.overlays[std::size_t(i)].grid.points));
        const double width = std::min(fm.horizontalAdvance(other), subBox.width() / (2 * count));
        const QRectF box(subBox.right() - width, subBox.top(), width, subBox.height());
        p.fillRect(QRectF(box.left() - 2 * kDotRadius - 6, box.center().y() - kDotRadius,
                          2 * kDotRadius, 2 * kDotRadius),
                   overlayColour(i));
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(other, Qt::ElideMiddle, width));
        subBox.setRight(box.left() - 2 * kDotRadius - 16);
    }
    p.drawText(subBox, Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(sub, Qt::ElideRight, subBox.width()));

    if (!choice_.data || g.width == 0) {
        p.setPen(kQuiet);
        p.drawText(l.plot, Qt::AlignCenter,
                   choice_.data ? QStringLiteral("Counting the points\u2026")
                                : QStringLiteral("Open a recording in the review to plot it."));
        p.restore();
        return;
    }

    // Ticks: as many as fit, never crowded.
    const int mostX = std::clamp(
        int(l.plot.width() / (fm.horizontalAdvance(QStringLiteral("00000.0")) + 24)), 2, 10);
    const int mostY = std::clamp(int(l.plot.height() / (l.line * 2.4)), 2, 10);
    double xStep = 1, yStep = 1;
    const QList<double> xTicks = tools::ticksOf(g.xRange, mostX, &xStep);
    const QList<double> yTicks = tools::ticksOf(g.yRange, mostY, &yStep);
    p.setPen(QPen(kGridLine, 1));
    for (double v : xTicks) {
        const double x = l.plot.left() + share(v, g.xRange) * l.plot.width();
        p.drawLine(QPointF(x, l.plot.top()), QPointF(x, l.plot.bottom()));
    }
    for (double v : yTicks) {
        const double y = l.plot.bottom() - share(v, g.yRange) * l.plot.height();
        p.drawLine(QPointF(l.plot.left(), y), QPointF(l.plot.right(), y));
    }
    p.setPen(kText);
    for (double v : xTicks) {
        const double x = l.plot.left() + share(v, g.xRange) * l.plot.width();
        p.drawText(QRectF(x - 60, l.plot.bottom() + 4, 120, l.line),
                   Qt::AlignHCenter | Qt::AlignTop, tickText(v, xStep));
    }
    for (double v : yTicks) {
        const double y = l.plot.bottom() - share(v, g.yRange) * l.plot.height();
        p.drawText(QRectF(area.left(), y - l.line / 2, l.plot.left() - 6 - area.left(), l.line),
                   Qt::AlignRight | Qt::AlignVCenter, tickText(v, yStep));
    }
    p.drawText(QRectF(l.plot.left(), l.plot.bottom() + l.line + 8, l.plot.width(), l.line),
               Qt::AlignHCenter | Qt::AlignTop, tools::channelTitle(choice_.channel(choice_.x), details));
    p.save();
    p.translate(area.left() + 4, l.plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-l.plot.height() / 2, 0, l.plot.height(), l.line), Qt::AlignCenter,
               tools::channelTitle(choice_.channel(choice_.y), details));
    p.restore();

    // The points: one image pixel a device pixel, or dots when they are few.
    p.save();
    p.setClipRect(l.plot.adjusted(-kDotRadius, -kDotRadius, kDotRadius, kDotRadius));
    const double cw = l.plot.width() / g.width, ch = l.plot.height() / g.height;
    // The overlays' points first, the last lowest, in squares, partly see-through: the
    // recording's are drawn over them, as on the strips.
    for (int i = int(pic.overlays.size()) - 1; i >= 0; --i) {
        const XyPicture::Overlay& o = pic.overlays[std::size_t(i)];
        if (o.grid.counts.size() != g.counts.size())
            continue;
        p.setOpacity(kOverlayOpacity);
        if (!o.cells.image.isNull()) {
            p.drawImage(l.plot, o.cells.image);
        } else {
            for (std::size_t cell : o.cells.dots)
                p.fillRect(QRectF(l.plot.left() + double(cell % std::size_t(g.width)) * cw +
                                      cw / 2 - kDotRadius,
                                  l.plot.top() + double(cell / std::size_t(g.width)) * ch + ch / 2 -
                                      kDotRadius,
                                  2 * kDotRadius, 2 * kDotRadius),
                           overlayColour(i));
        }
        p.setOpacity(1);
    }
    if (!pic.cells.image.isNull()) {
        p.drawImage(l.plot, pic.cells.image);
    } else {
        p.setPen(Qt::NoPen);
        const bool colour = !g.colourCounts.empty();
        for (std::size_t cell : pic.cells.dots) {
            QColor c = cellColour(pic, cell);
            if (!colour) {
                c = QColor(0x1f, 0x4e, 0x9c);
                const double weight =
                    g.most > 1 ? std::log(double(g.counts[cell])) / std::log(double(g.most)) : 0;
                c.setAlphaF(float(0.45 + 0.55 * weight));
            }
            p.setBrush(c);
            const QPointF centre(l.plot.left() + (double(cell % std::size_t(g.width)) + 0.5) * cw,
                                 l.plot.top() + (double(cell / std::size_t(g.width)) + 0.5) * ch);
            p.drawEllipse(centre, kDotRadius, kDotRadius);
        }
    }
    p.restore();
    p.setPen(QPen(kPlotFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(l.plot);
    if (g.points == 0) {
        p.setPen(kQuiet);
        p.drawText(l.plot, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("No row of this span has both %1 and %2.")
                       .arg(choice_.channel(choice_.x).name, choice_.channel(choice_.y).name));
    }
    if (marked_ && *marked_ < choice_.data->table.size()) {
        const record::Table& t = choice_.data->table;
        const double x = t.column(choice_.x)[*marked_], y = t.column(choice_.y)[*marked_];
        if (std::isfinite(x) && std::isfinite(y) && analysis::counts(t, *marked_, choice_.span)) {
            const QPointF at(l.plot.left() + share(x, g.xRange) * l.plot.width(),
                             l.plot.bottom() - share(y, g.yRange) * l.plot.height());
            p.setPen(QPen(kCursor, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(at, kDotRadius + 4, kDotRadius + 4);
            p.drawLine(at + QPointF(-kDotRadius - 9, 0), at + QPointF(-kDotRadius - 4, 0));
            p.drawLine(at + QPointF(kDotRadius + 4, 0), at + QPointF(kDotRadius + 9, 0));
        }
    }
    if (hovered_) {
        const std::size_t cell = hovered_->cell;
        const QPointF centre(l.plot.left() + (double(cell % std::size_t(g.width)) + 0.5) * cw,
                             l.plot.top() + (double(cell / std::size_t(g.width)) + 0.5) * ch);
        p.setPen(QPen(QColor(200, 30, 30), 1.5));
        p.drawEllipse(centre, kDotRadius + 3, kDotRadius + 3);
    }

    // The colour legend: the scale of the third channel, with its ticks.
    if (choice_.colour && pic.colourScale) {
        const tools::AxisRange& scale = *pic.colourScale;
        QLinearGradient ramp(l.legend.bottomLeft(), l.legend.topLeft());
        for (int i = 0; i <= 8; ++i)
            ramp.setColorAt(i / 8.0, tools::scaleColour(i / 8.0));
        p.setPen(Qt::NoPen);
        p.fillRect(l.legend, ramp);
        p.setPen(QPen(kPlotFrame, 1));
        p.drawRect(l.legend);
        double step = 1;
        p.setPen(kText);
        for (double v : tools::ticksOf(
                 scale, std::clamp(int(l.legend.height() / (l.line * 2.4)), 2, 8), &step)) {
            const double y = l.legend.bottom() - share(v, scale) * l.legend.height();
            p.drawLine(QPointF(l.legend.right(), y), QPointF(l.legend.right() + 3, y));
            p.drawText(QRectF(l.legend.right() + 6, y - l.line / 2, 80, l.line),
                       Qt::AlignLeft | Qt::AlignVCenter, tickText(v, step));
        }
        p.save();
        p.translate(area.right() - 4, l.plot.center().y());
        p.rotate(90);
        p.drawText(QRectF(-l.plot.height() / 2, 0, l.plot.height(), l.line), Qt::AlignCenter,
                   tools::channelTitle(choice_.channel(*choice_.colour), details));
        p.restore();
    }
    p.restore();
}

void XyPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()));
}

void XyPlot::resizeEvent(QResizeEvent*) {
    schedule();
}

void XyPlot::mouseMoveEvent(QMouseEvent* event) {
    const auto hit = hitNear(event->position());
    if (hit != hovered_) {
        hovered_ = hit;
        update();
    }
    emit pointed(hit ? describeRow(std::size_t(gridOf(hit->overlay).rows[hit->cell]), hit->overlay)
                     : QString());
}

void XyPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const auto hit = hitNear(event->position());
    if (!hit)
        return;
    // An overlay's point puts the cursor where the overlay's row stands in the recording.
    if (hit->overlay >= 0 && std::size_t(hit->overlay) < choice_.overlays.size()) {
        const XyOverlay& o = choice_.overlays[std::size_t(hit->overlay)];
        emit cursorRequested(
            o.data->table.elapsed[std::size_t(gridOf(hit->overlay).rows[hit->cell])] + o.shift);
    }
    else
        emit cursorRequested(
            choice_.data->table.elapsed[std::size_t(picture_.grid.rows[hit->cell])]);
}

void XyPlot::leaveEvent(QEvent* event) {
    if (hovered_) {
        hovered_.reset();
        update();
    }
    emit pointed({});
    QWidget::leaveEvent(event);
}

}  // namespace ignivex::chart
