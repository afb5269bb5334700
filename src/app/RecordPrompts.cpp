#include "app/RecordPrompts.h"

#include "app/AlarmsDialog.h"
#include "app/RecordDialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace ignivex {

std::optional<QString> DialogRecordPrompts::file(QWidget* owner, const QString& suggested) {
    QFileDialog dialog(owner, QStringLiteral("Record to File"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The suffix is added before the dialog asks about replacing, so the question is about the
    // file that will really be written.
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("Recordings (*.csv)"), QStringLiteral("All files (*)")});
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<RecordChoice> DialogRecordPrompts::choice(
    QWidget* owner, const RecordChoice& current,
    const std::vector<formula::Definition>& channels) {
    RecordDialog dialog(owner, current, channels);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<QString> DialogRecordPrompts::note(QWidget* owner) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        owner, QStringLiteral("Mark"), QStringLiteral("A note for the mark (may be left empty):"),
        QLineEdit::Normal, QString(), &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

std::optional<QString> DialogRecordPrompts::workbookFile(QWidget* owner, const QString& suggested) {
    const QString path =
        QFileDialog::getSaveFileName(owner, QStringLiteral("Export for Spreadsheet"), suggested,
                                     QStringLiteral("Workbooks (*.xlsx)"));
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<std::vector<watch::Alarm>> DialogRecordPrompts::alarms(
    QWidget* owner, const std::vector<watch::Alarm>& current,
    const std::vector<formula::Definition>& channels, bool* sound) {
    AlarmsDialog dialog(owner, current, channels, *sound);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    *sound = dialog.sound();
    return dialog.alarms();
}

}  // namespace ignivex
