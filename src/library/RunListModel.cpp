#include "library/RunListModel.h"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace ignivex::library {

void RunListModel::setRuns(QList<catalog::RunEntry> runs) {
    beginResetModel();
    runs_ = std::move(runs);
    endResetModel();
}

int RunListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(runs_.size());
}

int RunListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count;
}

QString RunListModel::durationText(double seconds) {
    const qint64 s = qint64(std::llround(std::max(0.0, seconds)));
    const QString mmss = QStringLiteral("%1:%2")
                             .arg(s / 60 % 60)
                             .arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s < 3600)
        return mmss;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QVariant RunListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= runs_.size())
        return {};
    const catalog::RunEntry& r = runs_[index.row()];
    if (role == Qt::ForegroundRole && !r.present)
        return QBrush(QColor(150, 40, 40));
    if (role == Qt::ToolTipRole && index.column() == File)
        return QDir::toNativeSeparators(r.path) + QStringLiteral("\nid ") + r.id;
    const bool sort = role == kSortRole;
    if (role != Qt::DisplayRole && !sort)
        return {};
    switch (index.column()) {
    case File:
        return QFileInfo(r.path).fileName();
    case Started:
        return sort ? QVariant(r.started.toMSecsSinceEpoch())
                    : QVariant(r.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    case Duration:
        return sort ? QVariant(r.durationS) : QVariant(durationText(r.durationS));
    case Rows:
        return r.rows;
    case Firmware:
        return r.firmware;
    case MapRange:
        return r.mapRange;
    case Marks:
        return r.marks;
    case Tags:
        return r.tags.join(QStringLiteral(", "));
    case Note:
        return r.note;
    case Where:
        return r.present ? QDir::toNativeSeparators(QFileInfo(r.path).absolutePath())
                         : QStringLiteral("missing (moved or deleted)");
    default:
        return {};
    }
}

QVariant RunListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kNames[] = {"File", "Started", "Duration", "Rows", "Firmware",
                                         "MAP range", "Marks", "Tags", "Note", "Folder"};
    return section >= 0 && section < Count ? QString::fromLatin1(kNames[section]) : QVariant();
}

}  // namespace ignivex::library
