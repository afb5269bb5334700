#include "strips/StripChart.h"

#include "strips/ChannelsDialog.h"
#include "strips/ChartSettings.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPainter>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace ignivex::chart {

namespace {
constexpr double kDragThresholdPx = 4;

// The charts that show the remembered arrangement (the windows' own, on the GUI thread).
std::vector<QPointer<StripChart>>& remembering() {
    static std::vector<QPointer<StripChart>> charts;
    return charts;
}
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
    followChannels();
    changed();
}

void StripChart::followChannels() {
    const ChannelList channels = scene_.data ? channelsOf(scene_.data->table) : moduleChannels();
    const auto sameNames = [](const ChannelList& a, const ChannelList& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const auto& x, const auto& y) { return x.column == y.column; });
    };
    if (!sameNames(channels, scene_.strips.channels))
        scene_.strips = Arrangement::fromText(chosen_, channels);
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
    followChannels();
    changed();
}

void StripChart::setDataAndView(std::shared_ptr<const ChartData> data, double t0, double t1,
                                std::shared_ptr<const std::vector<Gap>> leftOut) {
    scene_.leftOut = std::move(leftOut);
    setDataAndView(std::move(data), t0, t1);
}

void StripChart::setCursorTime(std::optional<double> t) {
    if (t == scene_.cursor)
        return;
    scene_.cursor = t;
    changed();
}

void StripChart::setOverlays(std::vector<SceneOverlay> overlays) {
    scene_.overlays = std::move(overlays);
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

void StripChart::setArrangement(const Arrangement& arrangement) {
    // Kept as text: a channel these rows lack is shown again with rows that have it.
    chosen_ = arrangement.toText();
    scene_.strips = arrangement.forChannels(scene_.strips.channels);
    changed();
}

void StripChart::rememberArrangement() {
    chosen_ = settings::stripArrangement();
    scene_.strips = Arrangement::fromText(chosen_, scene_.strips.channels);
    changed();
    std::erase_if(remembering(), [](const QPointer<StripChart>& c) { return c.isNull(); });
    remembering().push_back(this);
    connect(this, &StripChart::arrangementEdited, this, [this](const Arrangement& a) {
        settings::setStripArrangement(a.toText());
        // The review and the live chart show one choice: the other follows at once.
        for (const QPointer<StripChart>& other : remembering()) {
            if (other && other != this)
                other->setArrangement(a);
        }
    });
}

void StripChart::setMapRange(const QString& text) {
    if (text == scene_.mapRange)
        return;
    scene_.mapRange = text;
    changed();
}

void StripChart::setLeftOut(std::shared_ptr<const std::vector<Gap>> stretches) {
    if (stretches == scene_.leftOut)
        return;
    scene_.leftOut = std::move(stretches);
    changed();
}

void StripChart::editChannels() {
    ChannelsDialog dialog(scene_.strips, scene_.mapRange, this);
    if (dialog.exec() != QDialog::Accepted || dialog.arrangement() == scene_.strips)
        return;
    setArrangement(dialog.arrangement());
    emit arrangementEdited(scene_.strips);
}

void StripChart::resetScales() {
    Arrangement a = scene_.strips;
    for (StripGroup& group : a.strips)
        group.fixed.reset();
    if (a == scene_.strips)
        return;
    setArrangement(a);
    emit arrangementEdited(scene_.strips);
}

void StripChart::addChannelActions(QMenu* menu) {
    QAction* channels = menu->addAction(QStringLiteral("Cha&nnels\u2026"));
    channels->setObjectName(QStringLiteral("mnuChannels"));
    connect(channels, &QAction::triggered, this, &StripChart::editChannels);
    QAction* scales = menu->addAction(QStringLiteral("Automatic Sca&les"));
    scales->setObjectName(QStringLiteral("mnuAutomaticScales"));
    connect(scales, &QAction::triggered, this, &StripChart::resetScales);
}

ChartLayout StripChart::layout() const {
    return ChartLayout(QRectF(rect()), font(), scene_.strips);
}

int StripChart::scaleAt(const QPointF& pos) const {
    const ChartLayout layout = this->layout();
    if (pos.x() >= layout.plot.left())
        return -1;
    const int strip = layout.stripAt(pos.y());
    return strip >= 0 && hasScale(scene_.strips.strips[std::size_t(strip)]) ? strip : -1;
}

void StripChart::setScale(int strip, std::optional<FixedScale> scale, bool announce) {
    scene_.strips.strips[std::size_t(strip)].fixed = scale;
    chosen_ = scene_.strips.toText();
    changed();
    if (announce)
        emit arrangementEdited(scene_.strips);
}

void StripChart::showStripMenu(int strip, const QPoint& globalPos) {
    QMenu menu(this);
    const StripGroup group = scene_.strips.strips[std::size_t(strip)];
    QStringList names;
    for (const StripChannel& s : group.series)
        names << labelOf(s.info, scene_.mapRange);
    if (hasScale(group)) {
        QAction* automatic = menu.addAction(QStringLiteral("&Automatic Scale"));
        automatic->setCheckable(true);
        automatic->setChecked(!group.fixed);
        connect(automatic, &QAction::triggered, this,
                [this, strip] { setScale(strip, std::nullopt, true); });
        connect(menu.addAction(QStringLiteral("&Set Scale\u2026")), &QAction::triggered, this,
                [this, strip, names] {
                    const auto shown = scaleShown(scene(), QRectF(rect()), strip);
                    if (const auto chosen = askScale(this, names.join(QStringLiteral(", ")),
                                                     shown.value_or(FixedScale{0, 1})))
                        setScale(strip, chosen, true);
                });
        menu.addSeparator();
    }
    if (scene_.strips.strips.size() > 1) {
        connect(menu.addAction(QStringLiteral("&Hide %1").arg(names.join(QStringLiteral(", ")))),
                &QAction::triggered, this, [this, strip] {
                    Arrangement a = scene_.strips;
                    a.strips.erase(a.strips.begin() + strip);
                    setArrangement(a);
                    emit arrangementEdited(scene_.strips);
                });
    }
    connect(menu.addAction(QStringLiteral("&Channels\u2026")), &QAction::triggered, this,
            &StripChart::editChannels);
    connect(menu.addAction(QStringLiteral("Automatic Scales &Everywhere")), &QAction::triggered,
            this, &StripChart::resetScales);
    menu.exec(globalPos);
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
    return layout().timeAt(x, scene_.t0, scene_.t1);
}

double StripChart::plotWidth() const {
    return layout().plot.width();
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
    const ChartLayout layout = this->layout();
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
    const int strip = scaleAt(event->position());
    if (event->button() == Qt::LeftButton && strip >= 0) {
        // A drag on a strip's names and scale moves its values up or down.
        if (const auto shown = scaleShown(scene(), QRectF(rect()), strip)) {
            scaleStrip_ = strip;
            scaleAtPress_ = *shown;
            pressPos_ = event->position();
            setCursor(Qt::SizeVerCursor);
        }
        return;
    }
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
    if (scaleStrip_ >= 0) {
        const double perPixel =
            (scaleAtPress_.high - scaleAtPress_.low) / layout().strip(scaleStrip_).height();
        const double by = (pos.y() - pressPos_.y()) * perPixel;
        const FixedScale moved{scaleAtPress_.low + by, scaleAtPress_.high + by};
        if (usable(moved))
            setScale(scaleStrip_, moved, false);
        return;
    }
    if (pressed_ && !dragging_ && (pos - pressPos_).manhattanLength() > kDragThresholdPx) {
        dragging_ = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (dragging_) {
        const double secondsPerPixel = timeAtX(1) - timeAtX(0);
        const double seconds = (pos.x() - lastDragX_) * secondsPerPixel;
        // With Ctrl held, the drag moves the overlaid recording along the other.
        if ((event->modifiers() & Qt::ControlModifier) && !scene_.overlays.empty())
            emit overlayShiftRequested(seconds);
        else
            emit panRequested(-seconds);
        lastDragX_ = pos.x();
    }
    setPointer(overPlot(pos) ? std::optional<double>(timeAtX(pos.x())) : std::nullopt);
}

void StripChart::mouseReleaseEvent(QMouseEvent* event) {
    if (scaleStrip_ >= 0 && event->button() == Qt::LeftButton) {
        const bool moved = event->position() != pressPos_;
        if (moved)
            emit arrangementEdited(scene_.strips);
        scaleStrip_ = -1;
        unsetCursor();
        return;
    }
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
    const int strip = scaleAt(event->position());
    if (strip >= 0) {
        // The wheel on a strip's scale zooms its values about the one under the pointer.
        if (const auto shown = scaleShown(scene(), QRectF(rect()), strip)) {
            const QRectF r = layout().strip(strip);
            const double at = shown->high - (event->position().y() - r.top()) / r.height() *
                                                (shown->high - shown->low);
            const double factor = std::pow(kZoomPerWheelStep, steps);
            const FixedScale zoomed{at - (at - shown->low) * factor,
                                    at + (shown->high - at) * factor};
            if (usable(zoomed))
                setScale(strip, zoomed, true);
        }
        event->accept();
        return;
    }
    emit zoomRequested(std::pow(kZoomPerWheelStep, steps), timeAtX(event->position().x()));
    event->accept();
}

void StripChart::mouseDoubleClickEvent(QMouseEvent* event) {
    const int strip = scaleAt(event->position());
    if (event->button() == Qt::LeftButton && strip >= 0) {
        setScale(strip, std::nullopt, true);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void StripChart::contextMenuEvent(QContextMenuEvent* event) {
    const ChartLayout layout = this->layout();
    const int strip = layout.stripAt(event->pos().y());
    if (event->pos().x() < layout.plot.left() && strip >= 0)
        showStripMenu(strip, event->globalPos());
}

void StripChart::leaveEvent(QEvent* event) {
    setPointer(std::nullopt);
    QWidget::leaveEvent(event);
}

}  // namespace ignivex::chart
