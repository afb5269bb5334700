#include "branding/About.h"

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
                       : aboutLines.first() + QString::fromLatin1(kAboutProgramLine);
    text += crlf + copyrightNotice() + QLatin1Char('.') + crlf + crlf;
    for (qsizetype i = 1; i < aboutLines.size(); ++i)
        text += aboutLines[i] + crlf;
    return text;
}

void showAbout(MessageBoxes& boxes, const Module1& module) {
    boxes.show(AboutText(module.AboutLines), box::OkOnly + box::Information,
               QStringLiteral("About"));
}

}  // namespace ignivex
