#pragma once

#include "recovery/MessageBoxes.h"

#include <QList>
#include <QString>
#include <functional>

namespace ignivex::test {

// Stands in for the message boxes: records every box shown and answers from a script.
class ScriptedBoxes : public MessageBoxes {
public:
    struct Shown {
        QString text;
        int style;
        QString title;
    };

    int show(const QString& text, int style, const QString& title) override;

    // Answers used in order; when they run out, the default answer of the box's button set
    // (Abort for Abort/Retry/Ignore, Cancel for Retry/Cancel, OK otherwise).
    void answer(std::initializer_list<int> answers) { answers_.append(answers); }
    // Called for every box before it is answered (a test can act while the box is "open").
    std::function<void(const Shown&)> onShow;

    QList<Shown> shown;
    int count() const { return int(shown.size()); }
    QStringList texts() const;

private:
    QList<int> answers_;
};

}  // namespace ignivex::test
