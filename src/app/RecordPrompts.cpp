#include "app/RecordPrompts.h"

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

std::optional<Rate> DialogRecordPrompts::rate(QWidget* owner, Rate current) {
    QStringList items;
    int selected = 0;
    const QList<Rate> rates = recordingRates();
    for (int i = 0; i < rates.size(); ++i) {
        items << (rates[i] == kViewRate ? rates[i].text() + QStringLiteral(" (the view's own)")
                                        : rates[i].text());
        if (rates[i] == current)
            selected = i;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(owner, QStringLiteral("Record"), QStringLiteral("Samples to record:"),
                              items, selected, false, &ok);
    if (!ok)
        return std::nullopt;
    return rates[int(items.indexOf(chosen))];
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

}  // namespace ignivex
