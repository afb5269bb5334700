#pragma once

#include "formula/FormulaStore.h"
#include "record/RecordingTable.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTableWidget;
class QTabWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

// Channels by formula and filters, edited as a table each: every formula is checked as it is
// typed, against the recording's own channels and the other formulas, and the first problem
// of the row being edited is shown with the place it is at. Apply hands them on only when all
// are sound.
class FormulaDialog : public QDialog {
    Q_OBJECT
public:
    FormulaDialog(MessageBoxes& boxes, QWidget* parent = nullptr);

    // What is edited, and the channels the formulas may read (the recording's, or the
    // module's when none is open).
    void setFormulas(const formula::Formulas& formulas, const record::Table& channels);
    formula::Formulas formulas() const;
    // The problem of each channel row and each filter row, in that order; empty strings where
    // sound.
    QStringList problems() const;

    // The channels and filters as a file of their own.
    void exportTo(const QString& path);
    void importFrom(const QString& path);

signals:
    void applied(const formula::Formulas& formulas);

private:
    void addRow(QTableWidget* table, const QStringList& cells);
    void recheck();
    void showProblem();
    bool apply();

    MessageBoxes& boxes_;
    record::Table channels_;
    QComboBox* mapUnit_;
    QTabWidget* tabs_;
    QTableWidget* formulas_;
    QTableWidget* filters_;
    QLabel* problem_;
    QStringList channelProblems_, filterProblems_;
    std::vector<int> channelPositions_, filterPositions_;
    bool filling_ = false;
};

}  // namespace ignivex::chart
