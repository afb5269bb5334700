#pragma once

#include "analysis/Histogram.h"

#include <QWidget>

namespace ignivex::chart {

// The bins of a histogram as bars over the channel's values, each as tall as its share of the
// time counted (of the samples when no time was), the bin edges under them and the mean and the
// median marked. It paints what it was last given and nothing else, into the window or into a
// picture of any size and pixel ratio.
class HistogramChart : public QWidget {
    Q_OBJECT
public:
    explicit HistogramChart(QWidget* parent = nullptr);

    // `axis`: the channel's name and unit; `subtitle`: the file and the span.
    void setHistogram(const analysis::Histogram& histogram, const QString& axis,
                      const QString& subtitle);
    const analysis::Histogram& histogram() const { return histogram_; }
    void paint(QPainter& p, const QRectF& area) const;

    QSize sizeHint() const override { return {640, 380}; }
    QSize minimumSizeHint() const override { return {320, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    analysis::Histogram histogram_;
    QString axis_;
    QString subtitle_;
};

}  // namespace ignivex::chart
