#include "chart/ToolSupport.h"

#include "base/Readable.h"
#include "record/RecordFormat.h"
#include "recovery/MessageBoxes.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace ignivex::chart::tools {

namespace {

QColor between(const QList<QColor>& stops, double t) {
    t = std::clamp(std::isfinite(t) ? t : 0.5, 0.0, 1.0) * double(stops.size() - 1);
    const int i = std::min(int(t), int(stops.size()) - 2);
    const double f = t - i;
    const QColor& a = stops[i];
    const QColor& b = stops[i + 1];
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f),
                            float(a.greenF() + (b.greenF() - a.greenF()) * f),
                            float(a.blueF() + (b.blueF() - a.blueF()) * f));
}

}  // namespace

QString channelTitle(const ValueSpec& entry, const Details& details) {
    const QString name = QString::fromUtf8(entry.name);
    if (entry.value == Value::Map) {
        // The module names no unit for MAP: its range is what tells the reader the scale.
        const auto code = record::rangeCodeOf(details);
        if (!code)
            return QStringLiteral("%1 (module's units)").arg(name);
        // "2 (0 to 60)" -> "0 to 60"
        const QString range = record::mapRangeText(*code);
        const qsizetype open = range.indexOf(QLatin1Char('('));
        return QStringLiteral("%1 (range %2: %3)")
            .arg(name)
            .arg(*code)
            .arg(range.mid(open + 1, range.size() - open - 2));
    }
    if (isInput(entry))
        return QStringLiteral("%1 (0 or 1)").arg(name);
    return QStringLiteral("%1 (%2)").arg(name, QString::fromUtf8(entry.unit));
}

QString unitSuffix(const ValueSpec& entry) {
    const QString unit = QString::fromUtf8(entry.unit);
    return unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
}

QString meanText(const ValueSpec& entry, double mean) {
    return QString::number(mean, 'f', isInput(entry) ? 2 : entry.shownDecimals + 1);
}

QString csvMeanText(const ValueSpec& entry, double mean) {
    return QString::number(mean, 'f', isInput(entry) ? 3 : entry.decimals + 2);
}

QString durationText(double seconds) {
    if (seconds < 0.995)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
    if (seconds < 59.95)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    const auto whole = qint64(std::llround(seconds));
    const qint64 h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    const QChar zero(QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, zero).arg(s, 2, 10, zero)
                 : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, zero);
}

QColor heatColour(double t) {
    static const QList<QColor> stops = {QColor(0x6f, 0x9c, 0xe0), QColor(0x9c, 0xd8, 0x8f),
                                        QColor(0xf6, 0xe8, 0x6a), QColor(0xf3, 0xa0, 0x52),
                                        QColor(0xdc, 0x50, 0x40)};
    return between(stops, t);
}

QColor textOn(const QColor& background) {
    const double luminance =
        0.299 * background.redF() + 0.587 * background.greenF() + 0.114 * background.blueF();
    return luminance < 0.5 ? Qt::white : Qt::black;
}

QColor scaleColour(double t) {
    static const QList<QColor> stops = {QColor(0x44, 0x01, 0x54), QColor(0x3b, 0x52, 0x8b),
                                        QColor(0x21, 0x91, 0x8c), QColor(0x5e, 0xc9, 0x62),
                                        QColor(0xe0, 0xc8, 0x10)};
    return between(stops, t);
}

QColor densityColour(std::uint32_t count, std::uint32_t most) {
    static const QList<QColor> stops = {QColor(0x8c, 0xb8, 0xe0), QColor(0x3a, 0x78, 0xc0),
                                        QColor(0x08, 0x30, 0x6b)};
    if (most <= 1)
        return stops.front();
    return between(stops, std::log(double(count)) / std::log(double(most)));
}

double niceStep(double rough) {
    if (!(rough > 0) || !std::isfinite(rough))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    // At the ends of the doubles' range a round step underflows to zero or overflows: the rough
    // step is then the only one there is.
    if (!(power > 0) || !std::isfinite(10 * power))
        return rough;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough * 0.999)
            return m * power;
    }
    return 10 * power;
}

int decimalsFor(double step) {
    // A double carries 17 digits; more decimals than that print nothing new.
    if (!(step > 0) || step >= 1)
        return 0;
    return std::min(int(std::ceil(-std::log10(step) - 1e-9)), 17);
}

AxisRange niceRange(double low, double high, double minSpan, int ticks) {
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) {
        low = 0;
        high = minSpan;
    }
    if (high - low < minSpan) {
        const double middle = (low + high) / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    // A little room at the ends, but an axis of values that are never negative stays so.
    const double pad = (high - low) * 0.03;
    const double from = low >= 0 ? std::max(low - pad, 0.0) : low - pad;
    const double to = high <= 0 ? std::min(high + pad, 0.0) : high + pad;
    const double step = niceStep((to - from) / std::max(ticks, 1));
    return {std::floor(from / step) * step, std::ceil(to / step) * step};
}

QList<double> ticksOf(const AxisRange& range, int most, double* step) {
    const double width = range.high - range.low;
    double s = niceStep(width / std::max(most, 1));
    while (width / s > most)
        s = niceStep(s * 1.01);
    QList<double> ticks;
    for (double k = std::ceil(range.low / s - 1e-9); k * s <= range.high + s * 1e-9; k += 1)
        ticks << (std::abs(k) < 0.5 ? 0.0 : k * s);
    if (step)
        *step = s;
    return ticks;
}

QString saveFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

void sayNotWritten(MessageBoxes& boxes, const QString& what, const QString& path,
                   const QString& why, const QString& title) {
    boxes.show(QStringLiteral("The %1 could not be written to \"%2\": %3. Choose another folder "
                              "or name, or free some space.")
                   .arg(what, readablePath(QDir::toNativeSeparators(path)), readable(why)),
               box::OkOnly + box::Exclamation, title);
}

}  // namespace ignivex::chart::tools
