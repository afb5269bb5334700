#include "strips/ChannelsDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace ignivex::chart {

ChannelsDialog::ChannelsDialog(const Arrangement& current, const QString& mapRange, QWidget* parent)
    : QDialog(parent), before_(current), mapRange_(mapRange), entries_(entriesOf(current)) {
    setWindowTitle(QStringLiteral("Channels"));
    setObjectName(QStringLiteral("dlgChannels"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("lstChannels"));
    up_ = new QPushButton(QStringLiteral("Move &Up"), this);
    down_ = new QPushButton(QStringLiteral("Move &Down"), this);
    join_ = new QPushButton(QStringLiteral("&Same Strip as Above"), this);
    join_->setCheckable(true);
    auto* standard = new QPushButton(QStringLiteral("S&tandard"), this);
    note_ = new QLabel(QStringLiteral("Tick at least one channel to show."), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);

    auto* side = new QVBoxLayout;
    for (QPushButton* b : {up_, down_, join_, standard})
        side->addWidget(b);
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(side);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(
        QStringLiteral("Ticked channels are shown, top to bottom. A channel on the same strip "
                       "as the one above shares its scale."),
        this));
    column->addLayout(row);
    column->addWidget(note_);
    column->addWidget(buttons);

    connect(up_, &QPushButton::clicked, this, [this] { move(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { move(1); });
    connect(join_, &QPushButton::clicked, this, &ChannelsDialog::setJoined);
    connect(standard, &QPushButton::clicked, this, &ChannelsDialog::restoreStandard);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (r >= 0 && r != selected_)
            select(r);
    });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int r = list_->row(item);
        if (r >= 0 && entries_[std::size_t(r)].shown != (item->checkState() == Qt::Checked))
            setShown(r, item->checkState() == Qt::Checked);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refill();
}

void ChannelsDialog::select(int row) {
    selected_ = std::clamp(row, 0, int(entries_.size()) - 1);
    refill();
}

void ChannelsDialog::move(int by) {
    const int to = selected_ + by;
    if (to < 0 || to >= int(entries_.size()))
        return;
    std::swap(entries_[std::size_t(selected_)], entries_[std::size_t(to)]);
    selected_ = to;
    refill();
}

void ChannelsDialog::setJoined(bool joined) {
    entries_[std::size_t(selected_)].joinsAbove = joined;
    refill();
}

void ChannelsDialog::setShown(int row, bool shown) {
    entries_[std::size_t(row)].shown = shown;
    selected_ = row;
    refill();
}

void ChannelsDialog::restoreStandard() {
    before_ = Arrangement::standard(before_.channels);
    entries_ = entriesOf(before_);
    refill();
}

void ChannelsDialog::refill() {
    const QSignalBlocker block(list_);
    list_->clear();
    bool any = false;
    // A channel joins the strip above only when one is shown above it; one that cannot join
    // forgets it, so that moving it later does not join it unasked.
    bool shownAbove = false;
    for (ChannelEntry& e : entries_) {
        e.joinsAbove = e.joinsAbove && shownAbove;
        const bool joined = e.shown && e.joinsAbove;
        auto* item = new QListWidgetItem(
            (joined ? QStringLiteral("\u2003\u21b3 ") : QString()) + labelOf(e.series.info, mapRange_),
            list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(e.shown ? Qt::Checked : Qt::Unchecked);
        any = any || e.shown;
        shownAbove = shownAbove || e.shown;
    }
    list_->setCurrentRow(selected_);
    up_->setEnabled(selected_ > 0);
    down_->setEnabled(selected_ + 1 < int(entries_.size()));
    join_->setChecked(entries_[std::size_t(selected_)].joinsAbove);
    join_->setEnabled(entries_[std::size_t(selected_)].shown && selected_ > 0);
    ok_->setEnabled(any);
    note_->setVisible(!any);
}

std::optional<FixedScale> askScale(QWidget* parent, const QString& strip, FixedScale current) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Set Scale"));
    auto* from = new QDoubleSpinBox(&dialog);
    auto* to = new QDoubleSpinBox(&dialog);
    for (QDoubleSpinBox* box : {from, to}) {
        box->setRange(-1e9, 1e9);
        box->setDecimals(3);
    }
    from->setValue(current.low);
    to->setValue(current.high);
    auto* note = new QLabel(&dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(new QLabel(strip, &dialog));
    form->addRow(QStringLiteral("&From:"), from);
    form->addRow(QStringLiteral("&To:"), to);
    form->addRow(note);
    form->addRow(buttons);
    auto check = [&] {
        const bool ok = usable({from->value(), to->value()});
        buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
        note->setText(ok ? QString()
                         : QStringLiteral("The top of the scale must be above its bottom."));
    };
    QObject::connect(from, &QDoubleSpinBox::valueChanged, &dialog, check);
    QObject::connect(to, &QDoubleSpinBox::valueChanged, &dialog, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    check();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FixedScale{from->value(), to->value()};
}

}  // namespace ignivex::chart
