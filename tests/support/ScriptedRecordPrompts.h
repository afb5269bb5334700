#pragma once

#include "app/RecordPrompts.h"

#include <functional>

namespace ignivex::test {

// Answers Record…'s questions: the file and the rate given here (nothing: Cancel).
struct ScriptedRecordPrompts : RecordPrompts {
    std::optional<QString> path;
    std::optional<Rate> chosenRate;
    QString suggested;  // what the save dialog was opened with
    std::optional<QString> file(QWidget*, const QString& s) override {
        suggested = s;
        return path;
    }
    std::optional<watch::TriggerSettings> trigger;  // with chosenRate: start on it
    std::optional<RecordChoice> choice(QWidget*, const RecordChoice&,
                                       const std::vector<formula::Definition>&) override {
        return chosenRate ? std::optional(RecordChoice{*chosenRate, trigger}) : std::nullopt;
    }
    std::optional<QString> markNote;  // nothing: Cancel
    std::function<void()> whileNoteOpen;  // what happens while the note is being typed
    std::optional<QString> note(QWidget*) override {
        if (whileNoteOpen)
            whileNoteOpen();
        return markNote;
    }
    std::optional<QString> workbookPath;  // nothing: Cancel
    std::optional<QString> workbookFile(QWidget*, const QString&) override { return workbookPath; }
    std::optional<std::vector<watch::Alarm>> editedAlarms;  // nothing: Cancel
    std::optional<std::vector<watch::Alarm>> alarms(QWidget*, const std::vector<watch::Alarm>&,
                                                    const std::vector<formula::Definition>&,
                                                    bool*) override {
        return editedAlarms;
    }
};

}  // namespace ignivex::test
