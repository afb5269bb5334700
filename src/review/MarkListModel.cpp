#include "review/MarkListModel.h"

#include "series/ChartData.h"
#include "strips/StripPainter.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

#include <climits>

namespace ignivex::chart {

MarkListModel::MarkListModel(QObject* parent) : QAbstractListModel(parent) {}

void MarkListModel::setData(std::shared_ptr<const ChartData> data) {
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

std::optional<double> MarkListModel::timeOf(int row) const {
    if (!data_ || row < 0 || std::size_t(row) >= data_->table.userMarks.size())
        return std::nullopt;
    const std::size_t at = data_->table.userMarks[std::size_t(row)].row;
    if (at >= data_->table.size())
        return std::nullopt;
    return data_->table.elapsed[at];
}

int MarkListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !data_)
        return 0;
    return int(std::min<std::size_t>(data_->table.userMarks.size(), INT_MAX));
}

QVariant MarkListModel::data(const QModelIndex& index, int role) const {
    const auto time = timeOf(index.row());
    if (!index.isValid() || !time || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return QStringLiteral("%1  %2").arg(timeLabel(data_.get(), *time, TimeStyle::Elapsed, 3),
                                        data_->table.userMarks[std::size_t(index.row())].text);
}

std::optional<int> askMark(QWidget* parent, const QString& title, const QString& label,
                           std::shared_ptr<const ChartData> data) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgMark"));
    dialog.setWindowTitle(title);
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(new QLabel(label, &dialog));
    auto* model = new MarkListModel(&dialog);
    model->setData(std::move(data));
    auto* list = new QListView(&dialog);
    list->setObjectName(QStringLiteral("lstChooseMark"));
    list->setUniformItemSizes(true);
    list->setModel(model);
    list->setCurrentIndex(model->index(0, 0));
    column->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    column->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListView::activated, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || !list->currentIndex().isValid())
        return std::nullopt;
    return list->currentIndex().row();
}

}  // namespace ignivex::chart
