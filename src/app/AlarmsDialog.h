#pragma once

#include "formula/FormulaChannels.h"
#include "watch/AlarmSet.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

namespace ignivex {

// File, Alarms…: the alarms kept in the settings, a row each (text, condition, hold time in
// seconds). What is wrong with a row is said below the table, and OK waits for it.
class AlarmsDialog : public QDialog {
    Q_OBJECT
public:
    AlarmsDialog(QWidget* owner, const std::vector<watch::Alarm>& alarms,
                 const std::vector<formula::Definition>& channels, bool sound);
    std::vector<watch::Alarm> alarms() const;
    bool sound() const;

private:
    void addRow(const watch::Alarm& alarm);
    void check();

    std::vector<formula::Definition> channels_;
    QTableWidget* table_;
    QLabel* problems_;
    QCheckBox* sound_;
    QDialogButtonBox* buttons_;
};

}  // namespace ignivex
