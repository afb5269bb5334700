#include "base/MessageText.h"

#include <QDir>

namespace ignivex {
namespace {

const QChar kEllipsis(0x2026);

// The first `n` characters, one fewer where the last would be half of a surrogate pair.
QStringView head(QStringView text, qsizetype n) {
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate())
        --n;
    return text.left(n);
}

QString visible(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QLatin1Char('?') : c;
    return out;
}

}  // namespace

QString readable(const QString& text, int max) {
    if (text.size() <= max)
        return visible(text);
    return visible(head(text, std::max(0, max - 1))) + kEllipsis;
}

QString readableList(const QStringList& items, const QString& separator, int max) {
    QString out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString item = readable(items[i], max);
        const QString next = i == 0 ? item : out + separator + item;
        if (next.size() > max) {
            // Room is kept for the ellipsis that says something was left out.
            return out.isEmpty() ? readable(item, max) : out + separator + kEllipsis;
        }
        out = next;
    }
    return out;
}

QString readablePath(const QString& path, int max) {
    const QString shown = QDir::toNativeSeparators(path);
    if (shown.size() <= max)
        return visible(shown);
    const qsizetype tail = std::max(0, max - 1) / 2;
    const qsizetype front = std::max(0, max - 1) - tail;
    QStringView end = QStringView(shown).right(tail);
    if (!end.isEmpty() && end.front().isLowSurrogate())
        end = end.mid(1);
    return visible(head(shown, front)) + kEllipsis + visible(end);
}

}  // namespace ignivex
