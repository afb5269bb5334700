#include "app/HeadlessWords.h"

#include "base/MessageText.h"

#include <QRegularExpression>
#include <QStringList>

namespace ignivex {

namespace {

QString capitalised(QString s) {
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

}  // namespace

QString forCommandLine(const QString& text, const QString& device) {
    // A line break ends a sentence too (a command to type stands on a line of its own).
    QString t = text;
    if (!device.isEmpty()) {
        // The port a device path was given as is numbered only inside the program.
        static const QRegularExpression named(QStringLiteral("Com\\d+ \\(([^)]*)\\)"));
        t.replace(named, QStringLiteral("\\1"));
        static const QRegularExpression linkAs(
            QStringLiteral(", or link it as Com\\d+, for example: ln -s \\S+ \\S+"));
        t.replace(linkAs, QStringLiteral(", or give its device with --port."));
        static const QRegularExpression linkTo(QStringLiteral(
            "Link Com\\d+ to the serial adapter instead, for example: ln -sf \\S+ \\S+"));
        t.replace(linkTo, QStringLiteral("Give the serial adapter's device with --port instead."));
    }
    static const QRegularExpression clickClause(QStringLiteral(
        ",? (and |then )?click (Retry|Abort|Ignore|OK)(, or (Abort|Retry) to stop)?"));
    t.replace(clickClause, QString());
    static const QRegularExpression viewAgain(
        QStringLiteral(",? then open the real-time view again"));
    t.replace(viewAgain, QString());

    bool aboutPort = false;
    QStringList kept;
    static const QRegularExpression sentenceEnd(QStringLiteral("(?<=[.!?])\\s+|\\n"));
    for (QString sentence : t.split(sentenceEnd, Qt::SkipEmptyParts)) {
        static const QRegularExpression leadingClick(
            QStringLiteral("^Click (Retry|Abort|Ignore|OK)(, then |, )"));
        if (sentence.contains(leadingClick)) {
            sentence.remove(leadingClick);
            sentence = capitalised(sentence);
        }
        if (sentence.contains(QLatin1String("Port Setup"))) {
            aboutPort = true;
            continue;
        }
        if (sentence.contains(QLatin1String("click "), Qt::CaseInsensitive) ||
            sentence.contains(QLatin1String("real-time view")))
            continue;
        kept << sentence.trimmed();
    }
    QString out = kept.join(QLatin1Char(' '));
    if (aboutPort && !out.contains(QLatin1String("--port")))
        out += QStringLiteral(" Give another port with --port.");
    return out.trimmed();
}

}  // namespace ignivex
