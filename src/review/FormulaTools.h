#pragma once

#include "formula/FormulaStore.h"

#include <QObject>

class QAction;
class QComboBox;
class QMenu;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

class FormulaDialog;
class ReviewWindow;

// The review's View, Channels by Formula... and its Filter box: the channels and filters kept
// in the settings are handed to the review's state when it starts, edited in the dialog, and
// the filter chosen in the box applies to the figures, the tools and the workbook.
class FormulaTools : public QObject {
    Q_OBJECT
public:
    FormulaTools(ReviewWindow& review, MessageBoxes& boxes, QMenu* viewMenu);

    void openDialog();
    FormulaDialog* dialog() const { return dialog_; }
    QComboBox* filterBox() const { return filterBox_; }
    // Hands them to the review (and keeps them in the settings); false, after saying why in a
    // box, where the review cannot take them.
    bool apply(const formula::Formulas& formulas);
    const formula::Formulas& formulas() const { return kept_; }

private:
    void fillFilterBox();
    void chooseFilter(int index);

    ReviewWindow& review_;
    MessageBoxes& boxes_;
    formula::Formulas kept_;
    QComboBox* filterBox_;
    FormulaDialog* dialog_ = nullptr;
};

}  // namespace ignivex::chart
