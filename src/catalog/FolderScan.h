#pragma once

#include <QString>
#include <QStringList>
#include <atomic>

// The files an add looks at: each file as given, and the recordings (*.csv) in each folder and
// its folders below, in a stable order.
namespace ignivex::catalog {

struct ScanResult {
    QStringList files;
    QStringList missing;  // paths given that do not exist
    bool cancelled = false;
};

ScanResult filesToAdd(const QStringList& paths, const std::atomic<bool>* cancel = nullptr);

}  // namespace ignivex::catalog
