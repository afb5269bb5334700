#include "app/RecordDialog.h"

#include "watch/Conditions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ignivex {

namespace {
QDoubleSpinBox* secondsBox(const QString& name, double most, double value) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(0, most);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(value);
    return box;
}
}  // namespace

RecordDialog::RecordDialog(QWidget* owner, const RecordChoice& current,
                           const std::vector<formula::Definition>& channels)
    : QDialog(owner), channels_(channels) {
    setObjectName(QStringLiteral("dlgRecord"));
    setWindowTitle(QStringLiteral("Record"));
    const watch::TriggerSettings trigger = current.trigger.value_or(watch::TriggerSettings{});

    cboRate_ = new QComboBox;
    cboRate_->setObjectName(QStringLiteral("cboRate"));
    const QList<Rate> rates = recordingRates();
    for (const Rate& r : rates) {
        cboRate_->addItem(r == kViewRate ? r.text() + QStringLiteral(" (the view's own)") : r.text(),
                          r.perSecond);
        if (r == current.rate)
            cboRate_->setCurrentIndex(cboRate_->count() - 1);
    }
    optStartNow_ = new QRadioButton(QStringLiteral("Start &now, stop with File, Stop Recording"));
    optStartNow_->setObjectName(QStringLiteral("optStartNow"));
    optStartWhen_ = new QRadioButton(QStringLiteral("Start &when this is true:"));
    optStartWhen_->setObjectName(QStringLiteral("optStartWhen"));
    (current.trigger ? optStartWhen_ : optStartNow_)->setChecked(true);
    txtStartWhen_ = new QLineEdit(trigger.condition);
    txtStartWhen_->setObjectName(QStringLiteral("txtStartWhen"));
    txtStartWhen_->setPlaceholderText(QStringLiteral("rpm > 3000 && map > 20"));
    txtStartWhen_->setMinimumWidth(220);
    lblStartWhenProblem_ = new QLabel;
    lblStartWhenProblem_->setObjectName(QStringLiteral("lblStartWhenProblem"));
    lblStartWhenProblem_->setWordWrap(true);
    lblStartWhenProblem_->setMinimumWidth(200);
    lblStartWhenProblem_->setStyleSheet(QStringLiteral("color: #b00000"));
    spnKeepBefore_ = secondsBox(QStringLiteral("spnKeepBefore"), watch::kLongestKeepBeforeSeconds,
                                trigger.keepBeforeSeconds);
    spnStopAfter_ = secondsBox(QStringLiteral("spnStopAfter"), watch::kLongestStopAfterSeconds,
                               trigger.stopAfterSeconds);

    auto* condition = new QHBoxLayout;
    condition->addWidget(txtStartWhen_, 1, Qt::AlignTop);
    condition->addWidget(lblStartWhenProblem_, 1, Qt::AlignTop);
    auto* times = new QFormLayout;
    times->addRow(QStringLiteral("&Keep from before it:"), spnKeepBefore_);
    times->addRow(QStringLiteral("&Stop this long after it turns false:"), spnStopAfter_);
    auto* note = new QLabel(QStringLiteral(
        "Each stretch is a recording of its own: run.csv becomes run-1.csv, run-2.csv, … "
        "Its first row after the start is marked \"start: …\"."));
    note->setWordWrap(true);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* rate = new QFormLayout;
    rate->addRow(QStringLiteral("Samples to &record:"), cboRate_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rate);
    layout->addWidget(optStartNow_);
    layout->addWidget(optStartWhen_);
    layout->addLayout(condition);
    layout->addLayout(times);
    layout->addWidget(note);
    layout->addWidget(buttons_);

    connect(optStartWhen_, &QRadioButton::toggled, this, &RecordDialog::check);
    connect(txtStartWhen_, &QLineEdit::textChanged, this, &RecordDialog::check);
    check();
}

void RecordDialog::check() {
    const bool when = optStartWhen_->isChecked();
    txtStartWhen_->setEnabled(when);
    spnKeepBefore_->setEnabled(when);
    spnStopAfter_->setEnabled(when);
    QString problem;
    if (when) {
        const QString text = txtStartWhen_->text().trimmed();
        if (text.isEmpty())
            problem = QStringLiteral("Write the condition the recording starts on, such as "
                                     "rpm > 3000.");
        else if (const auto p = watch::Conditions::problemOf(text, channels_))
            problem = p->position >= 0
                          ? QStringLiteral("%1 (at character %2)").arg(p->message).arg(p->position + 1)
                          : p->message;
    }
    lblStartWhenProblem_->setText(problem);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

RecordChoice RecordDialog::choice() const {
    RecordChoice c;
    c.rate = Rate{cboRate_->currentData().toInt()};
    if (optStartWhen_->isChecked())
        c.trigger = watch::TriggerSettings{txtStartWhen_->text().trimmed(),
                                           spnKeepBefore_->value(), spnStopAfter_->value()};
    return c;
}

}  // namespace ignivex
