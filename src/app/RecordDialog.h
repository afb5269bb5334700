#pragma once

#include "app/RecordChoice.h"
#include "formula/FormulaChannels.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace ignivex {

// File, Record…'s questions after the file: the rate, and whether the recording starts now
// or itself on a condition (with the seconds kept before it and the seconds it goes on
// after). A condition that cannot be read says why beside its field, and OK waits for it.
class RecordDialog : public QDialog {
    Q_OBJECT
public:
    RecordDialog(QWidget* owner, const RecordChoice& current,
                 const std::vector<formula::Definition>& channels);
    RecordChoice choice() const;

private:
    void check();

    std::vector<formula::Definition> channels_;
    QComboBox* cboRate_;
    QRadioButton* optStartNow_;
    QRadioButton* optStartWhen_;
    QLineEdit* txtStartWhen_;
    QLabel* lblStartWhenProblem_;
    QDoubleSpinBox* spnKeepBefore_;
    QDoubleSpinBox* spnStopAfter_;
    QDialogButtonBox* buttons_;
};

}  // namespace ignivex
