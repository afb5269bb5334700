#pragma once

#include "app/RecordChoice.h"
#include "formula/FormulaChannels.h"
#include "watch/AlarmSet.h"

#include <QString>
#include <optional>

class QWidget;

namespace ignivex {

// What Record… asks the user: where the file goes and how often to sample. The real dialogs are
// Qt's own; tests answer in their place.
class RecordPrompts {
public:
    virtual ~RecordPrompts() = default;
    // A save dialog at `suggested`. An existing file is returned only after the user confirmed
    // that it may be replaced; nothing when the user cancelled.
    virtual std::optional<QString> file(QWidget* owner, const QString& suggested) = 0;
    // The rate and the start; `channels` are those by formula a condition may read. Nothing
    // when the user cancelled.
    virtual std::optional<RecordChoice> choice(QWidget* owner, const RecordChoice& current,
                                               const std::vector<formula::Definition>& channels) = 0;
    // The note of a mark (may be empty); nothing when the user cancelled.
    virtual std::optional<QString> note(QWidget* owner) = 0;
    // Where the workbook of a finished recording goes (a save dialog at `suggested`).
    virtual std::optional<QString> workbookFile(QWidget* owner, const QString& suggested) = 0;
    // The alarms as edited (File, Alarms…), and in `sound` whether a firing alarm sounds;
    // nothing when the user cancelled.
    virtual std::optional<std::vector<watch::Alarm>> alarms(
        QWidget*, const std::vector<watch::Alarm>&, const std::vector<formula::Definition>&,
        bool* /*sound*/) {
        return std::nullopt;
    }
};

class DialogRecordPrompts final : public RecordPrompts {
public:
    std::optional<QString> file(QWidget* owner, const QString& suggested) override;
    std::optional<RecordChoice> choice(QWidget* owner, const RecordChoice& current,
                                       const std::vector<formula::Definition>& channels) override;
    std::optional<QString> note(QWidget* owner) override;
    std::optional<QString> workbookFile(QWidget* owner, const QString& suggested) override;
    std::optional<std::vector<watch::Alarm>> alarms(
        QWidget* owner, const std::vector<watch::Alarm>& current,
        const std::vector<formula::Definition>& channels, bool* sound) override;
};

}  // namespace ignivex
