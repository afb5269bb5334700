#include "chart/StripChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace ignivex::chart {

namespace {
constexpr double kDragThresholdPx = 4;
constexpr double kZoomPerWheelStep = 0.8;
}  // namespace

StripChart::StripChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("stripChart"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    scene_.font = font();
    connect(&watcher_, &QFutureWatcher<QImage>::finished, this, [this] {
        picture_ = watcher_.result();
        ++painted_;
        update();
        if (stale_)
            startRender();
    });
}

StripChart::~StripChart() {
    watcher_.waitForFinished();
}

void StripChart::setData(std::shared_ptr<const ChartData> data) {
    scene_.data = std::move(data);
    changed();
}

void StripChart::setView(double t0, double t1) {
    if (t0 == scene_.t0 && t1 == scene_.t1)
        return;
    scene_.t0 = t0;
    scene_.t1 = t1;
    changed();
}

void StripChart::setDataAndView(std::shared_ptr<const ChartData> data, double t0, double t1) {
    scene_.data = std::move(data);
    scene_.t0 = t0;
    scene_.t1 = t1;
    changed();
}

void StripChart::setCursorTime(std::optional<double> t) {
    if (t == scene_.cursor)
        return;
    scene_.cursor = t;
    changed();
}

void StripChart::setCursorBTime(std::optional<double> t) {
    if (t == scene_.cursorB)
        return;
    scene_.cursorB = t;
    changed();
}

void StripChart::setTimeStyle(TimeStyle style) {
    scene_.timeStyle = style;
    changed();
}

void StripChart::setEmptyText(const QString& text) {
    scene_.emptyText = text;
    changed();
}

void StripChart::setPaintOffThread(bool offThread) {
    offThread_ = offThread;
    changed();
}

ChartScene StripChart::scene() const {
    ChartScene s = scene_;
    s.font = font();
    return s;
}

double StripChart::timeAtX(double x) const {
    return ChartLayout(QRectF(rect()), font()).timeAt(x, scene_.t0, scene_.t1);
}

double StripChart::plotWidth() const {
    return ChartLayout(QRectF(rect()), font()).plot.width();
}

void StripChart::changed() {
    stale_ = true;
    if (!offThread_)
        update();
    else if (!watcher_.isRunning())
        startRender();
}

void StripChart::startRender() {
    if (!isVisible() || width() <= 0 || height() <= 0)
        return;
    stale_ = false;
    const ChartScene scene = this->scene();
    const QSize size = this->size();
    const qreal ratio = devicePixelRatioF();
    watcher_.setFuture(QtConcurrent::run([scene, size, ratio] {
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        QPainter p(&image);
        paintChart(p, QRectF(QPointF(0, 0), QSizeF(size)), scene);
        return image;
    }));
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!offThread_) {
        paintChart(p, QRectF(rect()), scene());
        ++painted_;
        return;
    }
    if (picture_.isNull() || picture_.deviceIndependentSize() != QSizeF(size()))
        p.fillRect(rect(), Qt::white);
    if (!picture_.isNull())
        p.drawImage(QPointF(0, 0), picture_);
    if (stale_ && !watcher_.isRunning())
        startRender();
}

void StripChart::resizeEvent(QResizeEvent*) {
    changed();
}

void StripChart::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        changed();
    QWidget::changeEvent(event);
}

bool StripChart::overPlot(const QPointF& pos) const {
    const ChartLayout layout(QRectF(rect()), font());
    return pos.x() >= layout.plot.left() && pos.x() <= layout.plot.right() &&
           pos.y() >= layout.plot.top() && pos.y() <= layout.axis.bottom();
}

void StripChart::setPointer(std::optional<double> t) {
    if (t == scene_.pointer)
        return;
    scene_.pointer = t;
    changed();
}

void StripChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && overPlot(event->position())) {
        emit cursorBRequested(timeAtX(event->position().x()));
        return;
    }
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    pressed_ = true;
    dragging_ = false;
    pressPos_ = event->position();
    lastDragX_ = pressPos_.x();
}

void StripChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (pressed_ && !dragging_ && (pos - pressPos_).manhattanLength() > kDragThresholdPx) {
        dragging_ = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (dragging_) {
        const double secondsPerPixel = timeAtX(1) - timeAtX(0);
        emit panRequested(-(pos.x() - lastDragX_) * secondsPerPixel);
        lastDragX_ = pos.x();
    }
    setPointer(overPlot(pos) ? std::optional<double>(timeAtX(pos.x())) : std::nullopt);
}

void StripChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_)
        return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    if (dragging_) {
        dragging_ = false;
        unsetCursor();
    } else if (overPlot(event->position())) {
        const double t = timeAtX(event->position().x());
        if (event->modifiers() & Qt::ShiftModifier)
            emit cursorBRequested(t);
        else
            emit cursorRequested(t);
    }
}

void StripChart::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return QWidget::wheelEvent(event);
    emit zoomRequested(std::pow(kZoomPerWheelStep, steps), timeAtX(event->position().x()));
    event->accept();
}

void StripChart::leaveEvent(QEvent* event) {
    setPointer(std::nullopt);
    QWidget::leaveEvent(event);
}

}  // namespace ignivex::chart
