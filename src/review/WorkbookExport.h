#pragma once

#include "workbook/Workbook.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::chart {

// Writes a workbook in a worker thread while a progress dialog over `owner` shows how far it is
// (Cancel stops it, leaving nothing). `write` does the work with the options it is handed. A
// failure is said in a box titled "Export for Spreadsheet"; returns what was written.
using WorkbookWriter = std::function<std::optional<workbook::Written>(
    const workbook::Options& options, QString* error)>;
std::optional<workbook::Written> exportWithProgress(QWidget* owner, MessageBoxes& boxes,
                                                    const QString& path, WorkbookWriter write);

inline const QString kWorkbookTitle = QStringLiteral("Export for Spreadsheet");

}  // namespace ignivex::chart
