#include "review/HistogramChart.h"

#include "series/ChannelText.h"
#include "series/Scales.h"

#include <QLocale>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace ignivex::chart {

namespace {

const QColor kInk(0x20, 0x20, 0x20);
const QColor kMuted(0x60, 0x60, 0x60);
const QColor kGrid(0xe2, 0xe2, 0xe2);
const QColor kMean(0xb0, 0x30, 0x20);
const QColor kMedian(0x20, 0x50, 0xa0);

// Where a line `width` logical pixels wide lies on whole device pixels, so it is drawn sharp
// rather than smeared over two: an odd count of device pixels centres on a pixel's middle.
double crisp(double x, double width, double ratio) {
    const long pixels = std::max(1L, std::lround(width * ratio));
    const double device = x * ratio;
    return (pixels % 2 ? std::floor(device) + 0.5 : std::round(device)) / ratio;
}

// The edge of a filled area on a device pixel's edge.
double snapped(double x, double ratio) {
    return std::round(x * ratio) / ratio;
}

QString edgeText(double v) {
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

}  // namespace

HistogramChart::HistogramChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("histogramChart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HistogramChart::setHistogram(const analysis::Histogram& histogram, const QString& axis,
                                  const QString& subtitle) {
    histogram_ = histogram;
    axis_ = axis;
    subtitle_ = subtitle;
    update();
}

void HistogramChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()));
}

void HistogramChart::paint(QPainter& p, const QRectF& area) const {
    const analysis::Histogram& h = histogram_;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(area, Qt::white);
    const double ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QFont font = this->font();
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF fm(font, p.device());
    const double line = fm.height();

    double y = area.top() + 8;
    const QRectF titleRow(area.left() + 12, y, area.width() - 24, line);
    p.setFont(bold);
    p.setPen(kInk);
    const QString what = h.sharesOfTime ? QStringLiteral("Time") : QStringLiteral("Samples");
    p.drawText(titleRow, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("%1 at each value of %2").arg(what, axis_));
    p.setFont(font);
    y += line;
    p.setPen(kMuted);
    p.drawText(QRectF(titleRow.left(), y, titleRow.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               subtitle_);
    y += line + 8;

    if (h.bins.empty() || h.edges.size() < 2 || !(h.edges.back() > h.edges.front())) {
        p.setPen(kInk);
        p.drawText(QRectF(area.left() + 24, y, area.width() - 48, area.bottom() - y - 24),
                   Qt::AlignCenter | Qt::TextWordWrap, h.empty);
        p.restore();
        return;
    }

    // The share axis: steps of 1, 2 or 5 (per cent and powers of ten of it) to above the
    // tallest bar.
    double most = 0;
    for (const analysis::HistogramBin& b : h.bins)
        most = std::max(most, b.share);
    const double step = tools::niceStep(most > 0 ? most / 5 : 0.2);
    const double shareTop = std::max(step, std::ceil(most / step - 1e-9) * step);
    const int percentDecimals = tools::decimalsFor(step * 100);
    QStringList shareLabels;
    double labelWidth = 0;
    const int steps = int(std::lround(shareTop / step));
    for (int k = 0; k <= steps; ++k) {
        shareLabels << QStringLiteral("%1 %").arg(k * step * 100, 0, 'f', percentDecimals);
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(shareLabels.back()));
    }
    const QString lastEdge = edgeText(h.edges.back());
    QRectF plot(area.left() + 12 + labelWidth + 8, y + line + 4, 0, 0);
    plot.setRight(area.right() - std::max(16.0, fm.horizontalAdvance(lastEdge) / 2 + 8));
    plot.setBottom(area.bottom() - 8 - 2 * line - 10);
    if (plot.width() < 40 || plot.height() < 40) {
        p.restore();
        return;
    }
    p.setPen(kMuted);
    p.drawText(QRectF(area.left() + 12, y, area.width() - 24, line),
               Qt::AlignLeft | Qt::AlignVCenter,
               h.sharesOfTime ? QStringLiteral("Share of the time counted")
                              : QStringLiteral("Share of the samples counted"));

    const double low = h.edges.front(), high = h.edges.back();
    auto xOf = [&](double v) { return plot.left() + (v - low) / (high - low) * plot.width(); };
    auto yOf = [&](double share) { return plot.bottom() - share / shareTop * plot.height(); };

    for (int k = 0; k <= steps; ++k) {
        const double at = crisp(yOf(k * step), 1, ratio);
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
        p.setPen(kMuted);
        p.drawText(QRectF(area.left() + 12, at - line / 2, labelWidth, line),
                   Qt::AlignRight | Qt::AlignVCenter, shareLabels[k]);
    }

    const QColor fill = QColor::fromRgb(h.channel.rgb);
    p.setPen(Qt::NoPen);
    for (const analysis::HistogramBin& b : h.bins) {
        const double left = snapped(xOf(b.from), ratio), right = snapped(xOf(b.to), ratio);
        const double top = snapped(yOf(b.share), ratio), bottom = snapped(plot.bottom(), ratio);
        // A pixel between neighbours, where the bars are wide enough to spare one.
        const double gap = right - left > 4 ? 1 : 0;
        if (bottom - top > 0 && right - left - gap > 0)
            p.fillRect(QRectF(left, top, right - left - gap, bottom - top), fill);
    }

    // The value axis with a tick at each edge, and the edges that fit under them, the first and
    // the last always.
    const double axisY = crisp(plot.bottom(), 1, ratio);
    p.setPen(QPen(kInk, 1));
    p.drawLine(QPointF(plot.left(), axisY), QPointF(plot.right(), axisY));
    struct Label {
        double x;
        QString text;
        double width;
    };
    std::vector<Label> all;
    for (double e : h.edges) {
        const double x = crisp(xOf(e), 1, ratio);
        p.drawLine(QPointF(x, axisY), QPointF(x, axisY + 4));
        const QString text = edgeText(e);
        all.push_back({x, text, fm.horizontalAdvance(text)});
    }
    // Every n-th edge named, n the least that keeps the names apart; the last always, in place
    // of the one before it where they would touch.
    const double gap = fm.horizontalAdvance(QStringLiteral("  "));
    auto apart = [gap](const Label& a, const Label& b) {
        return a.x + a.width / 2 + gap <= b.x - b.width / 2;
    };
    std::vector<Label> labels;
    for (std::size_t stride = 1; stride <= all.size(); ++stride) {
        labels.clear();
        bool fits = true;
        for (std::size_t i = 0; i < all.size() && fits; i += stride) {
            fits = labels.empty() || apart(labels.back(), all[i]);
            labels.push_back(all[i]);
        }
        if (!fits)
            continue;
        if (labels.back().x != all.back().x) {
            if (!apart(labels.back(), all.back()))
                labels.pop_back();
            labels.push_back(all.back());
        }
        break;
    }
    const double labelTop = axisY + 6;
    for (const Label& l : labels)
        p.drawText(QRectF(l.x - l.width / 2 - 1, labelTop, l.width + 2, line), Qt::AlignCenter,
                   l.text);
    p.drawText(QRectF(plot.left(), labelTop + line + 2, plot.width(), line), Qt::AlignCenter,
               axis_);

    // The mean and the median, each named at the top of its line.
    const QString unit = tools::unitSuffix(h.channel);
    int row = 0;
    for (const auto& [value, name, colour] :
         {std::tuple{h.mean, QStringLiteral("mean"), kMean},
          std::tuple{h.median, QStringLiteral("median"), kMedian}}) {
        if (!(value >= low && value <= high))
            continue;
        const double x = crisp(xOf(value), 1, ratio);
        QPen pen(colour, 1, row == 0 ? Qt::DashLine : Qt::DotLine);
        p.setPen(pen);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const QString text =
            QStringLiteral("%1 %2%3").arg(name, tools::meanText(h.channel, value), unit);
        const double width = fm.horizontalAdvance(text) + 8;
        // On the right of its line unless that runs out of the plot.
        const double left = x + width + 4 > plot.right() ? x - width - 4 : x + 4;
        const QRectF box(left, plot.top() + row * (line + 2), width, line);
        p.fillRect(box, QColor(255, 255, 255, 220));
        p.setPen(colour);
        p.drawText(box, Qt::AlignCenter, text);
        ++row;
    }
    p.restore();
}

}  // namespace ignivex::chart
