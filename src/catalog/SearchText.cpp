#include "catalog/SearchText.h"

#include <algorithm>

namespace ignivex::catalog {

QStringList searchWords(const QString& text) {
    return text.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString likePattern(const QString& word) {
    QString w = word;
    w.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + w + QLatin1Char('%');
}

QStringList cleanTags(const QStringList& tags) {
    QStringList out;
    for (const QString& t : tags) {
        const QString tag = t.simplified();
        if (!tag.isEmpty() && !out.contains(tag))
            out << tag;
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace ignivex::catalog
