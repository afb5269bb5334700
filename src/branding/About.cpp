#include "branding/About.h"

#include "base/MessageText.h"

#include <QLocale>

namespace ignivex {

QString copyrightNotice() {
    return QStringLiteral("Copyright \u00A9 2026 Velmora Sensors LLC");
}

QString AboutText(const QStringList& aboutLines) {
    const QString crlf = QStringLiteral("\r\n");
    // Without any About line the title line has no company name to lead it, so the program
    // line loses the blank that would have separated the two.
    QString text = aboutLines.isEmpty()
                       ? QString::fromLatin1(kAboutProgramLine).mid(1)
                       : readable(aboutLines.first()) + QString::fromLatin1(kAboutProgramLine);
    text += crlf + copyrightNotice() + QLatin1Char('.') + crlf + crlf;
    // A box taller than the screen cannot be read or closed: at most a screenful of lines,
    // each cut to a readable length, and a last line that says how many were left out.
    const qsizetype last = std::min<qsizetype>(aboutLines.size(), 1 + kMaxAboutBoxLines);
    for (qsizetype i = 1; i < last; ++i)
        text += readable(aboutLines[i]) + crlf;
    if (const qsizetype left = aboutLines.size() - last; left > 0)
        text += QStringLiteral("(%1 more lines of the branding file are not shown)")
                    .arg(QLocale::c().toString(left)) +
                crlf;
    return text;
}

void showAbout(MessageBoxes& boxes, const Module1& module) {
    boxes.show(AboutText(module.AboutLines), box::OkOnly + box::Information,
               QStringLiteral("About"));
}

}  // namespace ignivex
