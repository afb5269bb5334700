#pragma once

#include "catalog/RunEntry.h"

#include <QAbstractTableModel>
#include <QList>

namespace ignivex::library {

// The runs the library window lists, a column for each of what the library knows; each column
// sorts by its value (the start by time, the duration and counts as numbers).
class RunListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { File, Started, Duration, Rows, Firmware, MapRange, Marks, Tags, Note, Where, Count };
    // The value a column sorts by.
    static constexpr int kSortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setRuns(QList<catalog::RunEntry> runs);
    const QList<catalog::RunEntry>& runs() const { return runs_; }
    const catalog::RunEntry& run(int row) const { return runs_[row]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "1:02:03" for an hour, a minute and three seconds; "0:45" under an hour.
    static QString durationText(double seconds);

private:
    QList<catalog::RunEntry> runs_;
};

}  // namespace ignivex::library
