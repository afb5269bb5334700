#include "app/QtMessageBoxes.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

namespace ignivex {

namespace {

QMessageBox::Icon iconFor(int style) {
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Buttons of each set, in order, with the result each gives.
std::vector<std::pair<QString, int>> buttonsFor(int style) {
    switch (style & 7) {
    case 1:
        return {{QStringLiteral("OK"), box::Ok}, {QStringLiteral("Cancel"), box::Cancel}};
    case box::AbortRetryIgnore:
        return {{QStringLiteral("&Abort"), box::Abort},
                {QStringLiteral("&Retry"), box::Retry},
                {QStringLiteral("&Ignore"), box::Ignore}};
    case 3:
        return {{QStringLiteral("&Yes"), 6},
                {QStringLiteral("&No"), 7},
                {QStringLiteral("Cancel"), box::Cancel}};
    case 4:
        return {{QStringLiteral("&Yes"), 6}, {QStringLiteral("&No"), 7}};
    case box::RetryCancel:
        return {{QStringLiteral("&Retry"), box::Retry}, {QStringLiteral("Cancel"), box::Cancel}};
    default:
        return {{QStringLiteral("OK"), box::Ok}};
    }
}

// Every box shown, at info level (off unless QT_LOGGING_RULES turns it on): a run without a
// display can then be checked for prompts.
Q_LOGGING_CATEGORY(lcBoxes, "ignivex.boxes", QtWarningMsg)

}  // namespace

int QtMessageBoxes::show(const QString& text, int style, const QString& title) {
    qCInfo(lcBoxes).noquote() << "message box:" << title << "-" << text;
    QMessageBox box(owner_ ? owner_.data() : QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(iconFor(style));
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);

    const auto buttons = buttonsFor(style);
    std::vector<QPushButton*> pushButtons;
    for (const auto& [caption, result] : buttons) {
        // One role for all keeps them in the order they are added.
        pushButtons.push_back(box.addButton(caption, QMessageBox::ActionRole));
    }
    // Default button: the first unless the style asks for the second or third (256, 512).
    const std::size_t defaultIndex =
        std::min<std::size_t>((style >> 8) & 3, pushButtons.size() - 1);
    box.setDefaultButton(pushButtons[defaultIndex]);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].second == box::Cancel ||
            (buttons.size() == 1 && buttons[i].second == box::Ok))
            box.setEscapeButton(pushButtons[i]);
    }

    box.exec();
    for (std::size_t i = 0; i < pushButtons.size(); ++i) {
        if (box.clickedButton() == pushButtons[i])
            return buttons[i].second;
    }
    // Closed without a button (only possible where an escape button exists).
    return buttons.size() == 1 ? buttons[0].second : box::Cancel;
}

}  // namespace ignivex
