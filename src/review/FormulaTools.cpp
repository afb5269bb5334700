#include "review/FormulaTools.h"

#include "review/FormulaDialog.h"
#include "review/ReviewWindow.h"
#include "base/AppIdentity.h"
#include "recovery/MessageBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

namespace ignivex::chart {

FormulaTools::FormulaTools(ReviewWindow& review, MessageBoxes& boxes, QMenu* viewMenu)
    : QObject(&review), review_(review), boxes_(boxes) {
    setObjectName(QStringLiteral("formulaTools"));
    QAction* open = viewMenu->addAction(QStringLiteral("Channels by &Formula\u2026"));
    open->setObjectName(QStringLiteral("mnuFormulas"));
    open->setStatusTip(QStringLiteral("Channels computed from others, and filters on rows"));
    connect(open, &QAction::triggered, this, &FormulaTools::openDialog);

    filterBox_ = new QComboBox(&review);
    filterBox_->setObjectName(QStringLiteral("cboFilter"));
    filterBox_->setToolTip(QStringLiteral(
        "The rows the statistics, the tools and the workbook count; the strips shade the rest"));
    QToolBar* bar = review.addToolBar(QStringLiteral("Filter"));
    bar->setObjectName(QStringLiteral("barFilter"));
    bar->setMovable(false);
    bar->addWidget(new QLabel(QStringLiteral(" Filter: "), bar));
    bar->addWidget(filterBox_);
    connect(filterBox_, &QComboBox::activated, this, &FormulaTools::chooseFilter);

    QSettings settings = userSettings();
    kept_ = formula::loadFormulas(settings);
    // A kept channel the review cannot take (a clash, a formula no longer sound) is still
    // shown in the dialog, to be mended there.
    review_.state().setFormulas(kept_.channels);
    review_.state().setFilters(kept_.filters, -1);
    review_.state().setMapUnit(formula::unitText(kept_.mapUnit));
    fillFilterBox();
    connect(&review_.state(), &ReviewState::filterChanged, this, &FormulaTools::fillFilterBox);
    // Said where the user looks, and kept there until the next message: the recording is
    // shown, only without the channels by formula.
    connect(&review_.state(), &ReviewState::recordingChanged, this, [this] {
        const QString& problem = review_.state().formulaProblem();
        if (!problem.isEmpty())
            review_.statusBar()->showMessage(
                QStringLiteral("The channels by formula are left out of this recording: %1. "
                               "Mend them in View, Channels by Formula\u2026")
                    .arg(problem));
    });
}

void FormulaTools::openDialog() {
    if (!dialog_) {
        dialog_ = new FormulaDialog(boxes_, &review_);
        connect(dialog_, &FormulaDialog::applied, this, &FormulaTools::apply);
    }
    // The formulas read the recording's own channels, not those made by formula before.
    const auto& plain = review_.state().plainRecording();
    dialog_->setFormulas(kept_, plain ? plain->chart->table.slice(plain->chart->table.size())
                                      : record::Table());
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

bool FormulaTools::apply(const formula::Formulas& formulas) {
    ReviewState& state = review_.state();
    if (const auto problem = state.setFormulas(formulas.channels)) {
        boxes_.show(QStringLiteral("The channels by formula could not be computed: %1.")
                        .arg(*problem),
                    box::OkOnly + box::Exclamation, QStringLiteral("Channels by Formula"));
        return false;
    }
    // The filter applied stays applied where one of its name is still there.
    const QString active = state.activeFilterName();
    int index = -1;
    for (std::size_t i = 0; i < formulas.filters.size(); ++i) {
        if (formulas.filters[i].name == active)
            index = int(i);
    }
    if (const auto problem = state.setFilters(formulas.filters, index)) {
        state.setFilters(formulas.filters, -1);
        boxes_.show(QStringLiteral("The filter %1 no longer applies: %2.").arg(active, *problem),
                    box::OkOnly + box::Exclamation, QStringLiteral("Channels by Formula"));
    }
    kept_ = formulas;
    state.setMapUnit(formula::unitText(formulas.mapUnit));
    QSettings settings = userSettings();
    formula::saveFormulas(settings, kept_);
    fillFilterBox();
    return true;
}

void FormulaTools::fillFilterBox() {
    const ReviewState& state = review_.state();
    const QSignalBlocker quiet(filterBox_);
    filterBox_->clear();
    filterBox_->addItem(QStringLiteral("none: every row"));
    for (const formula::Filter& f : state.filters())
        filterBox_->addItem(f.settleSeconds > 0
                                ? QStringLiteral("%1 (settled %2 s)").arg(f.name).arg(f.settleSeconds)
                                : f.name);
    filterBox_->setCurrentIndex(state.activeFilter() + 1);
    filterBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void FormulaTools::chooseFilter(int index) {
    ReviewState& state = review_.state();
    if (const auto problem = state.setFilters(state.filters(), index - 1)) {
        boxes_.show(QStringLiteral("The filter cannot be applied to this recording: %1. Mend its "
                                   "condition in View, Channels by Formula\u2026")
                        .arg(*problem),
                    box::OkOnly + box::Exclamation, QStringLiteral("Filter"));
        fillFilterBox();
    }
}

}  // namespace ignivex::chart
