#include "display/RecordingIndicator.h"

#include <QPainter>
#include <cmath>

namespace ignivex {

namespace {
const QColor kRecRed(230, 0, 0);
const QColor kInk(255, 255, 255);
const QColor kWarn(255, 191, 0);

QString clock(double seconds) {
    const qint64 s = qint64(std::floor(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}
}  // namespace

RecordingIndicator::RecordingIndicator(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("recordingIndicator"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Recording"));
}

void RecordingIndicator::setFigures(double elapsedS, qint64 samples, double ratePerS) {
    if (elapsedS == elapsed_ && samples == samples_ && ratePerS == rate_)
        return;
    elapsed_ = elapsedS;
    samples_ = samples;
    rate_ = ratePerS;
    setAccessibleDescription(text());
    update();
}

void RecordingIndicator::setArmed(const QString& condition) {
    if (condition == armed_)
        return;
    armed_ = condition;
    setAccessibleDescription(text());
    update();
}

void RecordingIndicator::setWarning(const QString& text) {
    if (text == warning_)
        return;
    warning_ = text;
    update();
}

QString RecordingIndicator::text() const {
    if (!armed_.isEmpty())
        return QStringLiteral("ARMED %1  %2 samples so far").arg(armed_).arg(samples_);
    return QStringLiteral("REC %1  %2 samples  %3/s")
        .arg(clock(elapsed_))
        .arg(samples_)
        .arg(rate_, 0, 'f', 1);
}

QSize RecordingIndicator::sizeHint() const {
    return {186, 48};
}

void RecordingIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::black);
    const QFontMetricsF fm(font());
    const double line = fm.height();
    // A red dot and "REC", then the time on the first line; samples and rate on the second.
    const double dot = line * 0.6;
    if (!armed_.isEmpty()) {
        // Armed: a ring, not the dot, and the condition waited for in amber.
        p.setPen(QPen(kWarn, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, (line - dot) / 2 + 2, dot - 2, dot - 2));
        p.drawText(QRectF(2 + dot + 4, 1, width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("ARMED"));
        p.setPen(kInk);
        p.drawText(QRectF(2, 1 + line, width() - 4, line), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(QStringLiteral("when %1").arg(armed_), Qt::ElideRight,
                                 width() - 4));
        if (!warning_.isEmpty()) {
            p.setPen(kWarn);
            p.drawText(QRectF(2, 1 + 2 * line, width() - 4, line),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       fm.elidedText(warning_, Qt::ElideRight, width() - 4));
        }
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kRecRed);
    p.drawEllipse(QRectF(2, (line - dot) / 2 + 1, dot, dot));
    p.setPen(kRecRed);
    const double recX = 2 + dot + 4;
    p.drawText(QRectF(recX, 1, width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("REC"));
    p.setPen(kInk);
    const double timeX = recX + fm.horizontalAdvance(QStringLiteral("REC ")) + 4;
    p.drawText(QRectF(timeX, 1, width() - timeX, line), Qt::AlignLeft | Qt::AlignVCenter,
               clock(elapsed_));
    p.drawText(QRectF(2, 1 + line, width() - 4, line), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("%1 samples  %2/s").arg(samples_).arg(rate_, 0, 'f', 1));
    if (!warning_.isEmpty()) {
        p.setPen(kWarn);
        p.drawText(QRectF(2, 1 + 2 * line, width() - 4, line), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(warning_, Qt::ElideRight, width() - 4));
    }
}

}  // namespace ignivex
