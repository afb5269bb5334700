#include "display/GaugeSupport.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>
#include <QWidget>

#include <cmath>

namespace ignivex::gauge {

QString tickLabel(double value) {
    return QString::asprintf("%g", value);
}

QList<double> tickValues(double start, double end, double step) {
    QList<double> values;
    if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(step) || step <= 0.0 ||
        end < start)
        return values;
    // The tolerance lets 0 .. 5 by 0.5 (or by 0.1) reach 5 despite binary fractions.
    const double count = std::floor((end - start) / step + 1e-9);
    const int n = count >= kMaxTicks ? kMaxTicks - 1 : static_cast<int>(count);
    const double tiny = step * 1e-9;
    for (int k = 0; k <= n; ++k) {
        double v = start + k * step;
        if (std::fabs(v) < tiny)
            v = 0.0;
        values.append(v);
    }
    return values;
}

QFont panelFont(double pointSize) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

QString colorName(const QColor& color) {
    struct Named {
        QRgb rgb;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {0x000000, "black"}, {0xff0000, "red"},    {0x00ff00, "green"}, {0x008000, "green"},
        {0xffbf00, "amber"}, {0xffff00, "yellow"}, {0x0000ff, "blue"},  {0xffffff, "white"},
    };
    if (!color.isValid())
        return QStringLiteral("none");
    const QRgb rgb = color.rgb() & 0xffffff;
    for (const Named& n : kNames) {
        if (n.rgb == rgb)
            return QString::fromLatin1(n.name);
    }
    return color.name(QColor::HexRgb);
}

bool sameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

void FaceCache::draw(QPainter& painter, const QSize& size,
                     const std::function<void(QPainter&)>& paintFace) {
    const double dpr = painter.device()->devicePixelRatioF();
    if (!valid_ || pixmap_.devicePixelRatioF() != dpr ||
        pixmap_.deviceIndependentSize() != QSizeF(size)) {
        pixmap_ = QPixmap(size * dpr);
        pixmap_.setDevicePixelRatio(dpr);
        pixmap_.fill(Qt::transparent);
        QPainter face(&pixmap_);
        face.setRenderHint(QPainter::Antialiasing);
        face.setRenderHint(QPainter::TextAntialiasing);
        paintFace(face);
        valid_ = true;
    }
    painter.drawPixmap(QPointF(0, 0), pixmap_);
}

namespace {

// One interface for all three widgets: name, value text, role, and for the two gauges the
// numeric value interface, which screen readers use for level indicators.
class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    GaugeAccessible(QWidget* w, const Described& described, QAccessible::Role role)
        : QAccessibleWidget(w, role), described_(described) {}

    QString text(QAccessible::Text t) const override {
        QWidget* w = widget();
        switch (t) {
        case QAccessible::Name: {
            if (!w->accessibleName().isEmpty())
                return w->accessibleName();
            if (const QString caption = described_.captionName(); !caption.isEmpty())
                return caption;
            if (!w->objectName().isEmpty())
                return w->objectName();
            return described_.fallbackName();
        }
        case QAccessible::Value:
            return described_.valueText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface &&
            described_.accessibleRole() != Described::Role::Indicator)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return described_.reading(); }
    // The gauges only display; a screen reader cannot move them.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return described_.readingMaximum(); }
    QVariant minimumValue() const override { return described_.readingMinimum(); }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    const Described& described_;
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    const auto* described = dynamic_cast<const Described*>(object);
    if (!widget || !described)
        return nullptr;
    switch (described->accessibleRole()) {
    case Described::Role::Level:
        return new GaugeAccessible(widget, *described, QAccessible::ProgressBar);
    case Described::Role::Dial:
        return new GaugeAccessible(widget, *described, QAccessible::Dial);
    case Described::Role::Indicator:
        return new GaugeAccessible(widget, *described, QAccessible::Indicator);
    }
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

namespace {
EventObserver& observer() {
    static EventObserver o;
    return o;
}

void send(QAccessibleEvent& event) {
    if (observer())
        observer()(event);
    QAccessible::updateAccessibility(&event);
}
}  // namespace

void setEventObserver(EventObserver o) {
    observer() = std::move(o);
}

void notifyValueChanged(QWidget* widget, const QVariant& value) {
    QAccessibleValueChangeEvent event(widget, value);
    send(event);
}

void notifyNameChanged(QWidget* widget) {
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    send(event);
}

}  // namespace ignivex::gauge
