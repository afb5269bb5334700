#pragma once

#include <QAbstractListModel>

class QWidget;
#include <memory>
#include <optional>

namespace ignivex::chart {

struct ChartData;

// The review's Marks tab: one row per user mark of a recording, "0:12.500  pull 1", its text
// made when the row is shown, so a million marks cost a pointer and no widget each.
class MarkListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit MarkListModel(QObject* parent = nullptr);

    void setData(std::shared_ptr<const ChartData> data);
    // The recording's time of the mark in row `row`; nothing outside the list.
    std::optional<double> timeOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const ChartData> data_;
};

// Asks for one of the marks of `data` in a list of them all, made as it is shown; the index of
// the mark chosen, or nothing when the dialog is cancelled.
std::optional<int> askMark(QWidget* parent, const QString& title, const QString& label,
                           std::shared_ptr<const ChartData> data);

}  // namespace ignivex::chart
