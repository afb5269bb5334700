#include "app/AlarmsDialog.h"

#include "watch/Conditions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ignivex {

namespace {
enum Column { Text, Condition, Hold };
}

AlarmsDialog::AlarmsDialog(QWidget* owner, const std::vector<watch::Alarm>& alarms,
                           const std::vector<formula::Definition>& channels, bool sound)
    : QDialog(owner), channels_(channels) {
    setObjectName(QStringLiteral("dlgAlarms"));
    setWindowTitle(QStringLiteral("Alarms"));
    table_ = new QTableWidget(0, 3);
    table_->setObjectName(QStringLiteral("grdAlarms"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Text"), QStringLiteral("Condition"), QStringLiteral("Hold (s)")});
    table_->horizontalHeader()->setSectionResizeMode(Condition, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setMinimumWidth(520);
    problems_ = new QLabel;
    problems_->setObjectName(QStringLiteral("lblAlarmProblems"));
    problems_->setWordWrap(true);
    problems_->setStyleSheet(QStringLiteral("color: #b00000"));

    sound_ = new QCheckBox(QStringLiteral("&Sound when an alarm fires"));
    sound_->setObjectName(QStringLiteral("chkAlarmSound"));
    sound_->setChecked(sound);
    auto* add = new QPushButton(QStringLiteral("&Add"));
    add->setObjectName(QStringLiteral("cmdAddAlarm"));
    auto* remove = new QPushButton(QStringLiteral("&Remove"));
    remove->setObjectName(QStringLiteral("cmdRemoveAlarm"));
    connect(add, &QPushButton::clicked, this, [this] {
        addRow({QStringLiteral("battery low"), QStringLiteral("battery_v < 11.5"), 2});
        table_->setCurrentCell(table_->rowCount() - 1, Text);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0)
            table_->removeRow(table_->currentRow());
        check();
    });
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemChanged, this, &AlarmsDialog::check);
    for (const watch::Alarm& a : alarms)
        addRow(a);

    auto* edits = new QHBoxLayout;
    edits->addWidget(add);
    edits->addWidget(remove);
    edits->addStretch();
    auto* layout = new QVBoxLayout(this);
    auto* about = new QLabel(QStringLiteral(
        "An alarm fires when its condition has held for its hold time, and clears when it has "
        "been false as long. A recording marks the row it fired on \"alarm: TEXT\"."));
    about->setWordWrap(true);
    layout->addWidget(about);
    layout->addWidget(table_);
    layout->addLayout(edits);
    layout->addWidget(problems_);
    layout->addWidget(sound_);
    layout->addWidget(buttons_);
    check();
}

void AlarmsDialog::addRow(const watch::Alarm& alarm) {
    const QSignalBlocker quiet(table_);
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, Text, new QTableWidgetItem(alarm.text));
    table_->setItem(row, Condition, new QTableWidgetItem(alarm.condition));
    table_->setItem(row, Hold, new QTableWidgetItem(QString::number(alarm.holdSeconds)));
    check();
}

std::vector<watch::Alarm> AlarmsDialog::alarms() const {
    std::vector<watch::Alarm> out;
    for (int r = 0; r < table_->rowCount(); ++r)
        out.push_back({table_->item(r, Text)->text().simplified(),
                       table_->item(r, Condition)->text().trimmed(),
                       table_->item(r, Hold)->text().trimmed().toDouble()});
    return out;
}

bool AlarmsDialog::sound() const {
    return sound_->isChecked();
}

void AlarmsDialog::check() {
    QStringList lines;
    const std::vector<watch::Alarm> all = alarms();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const watch::Alarm& a = all[i];
        const QString row = QStringLiteral("Row %1").arg(i + 1);
        bool number = false;
        const double hold = table_->item(int(i), Hold)->text().trimmed().toDouble(&number);
        if (a.text.isEmpty())
            lines << row + QStringLiteral(": give the alarm a text, which its mark says.");
        else if (!number || hold < 0 || hold > watch::kLongestHoldSeconds)
            lines << row + QStringLiteral(": the hold time is seconds from 0 to %1.")
                               .arg(watch::kLongestHoldSeconds);
        else if (const auto p = watch::Conditions::problemOf(a.condition, channels_))
            lines << QStringLiteral("%1 (%2): %3").arg(row, a.text, p->message);
    }
    if (all.size() > std::size_t(watch::kMostAlarms))
        lines << QStringLiteral("At most %1 alarms.").arg(watch::kMostAlarms);
    problems_->setText(lines.join(QLatin1Char('\n')));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(lines.isEmpty());
}

}  // namespace ignivex
