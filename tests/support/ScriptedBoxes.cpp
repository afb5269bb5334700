#include "support/ScriptedBoxes.h"

#include <QStringList>

namespace ignivex::test {

int ScriptedBoxes::show(const QString& text, int style, const QString& title) {
    shown.append({text, style, title});
    if (onShow)
        onShow(shown.last());
    if (!answers_.isEmpty())
        return answers_.takeFirst();
    switch (style & 7) {
    case box::AbortRetryIgnore:
        return box::Abort;
    case box::RetryCancel:
        return box::Cancel;
    default:
        return box::Ok;
    }
}

QStringList ScriptedBoxes::texts() const {
    QStringList list;
    for (const auto& box : shown)
        list.append(box.text);
    return list;
}

}  // namespace ignivex::test
