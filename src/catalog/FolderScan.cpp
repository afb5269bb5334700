#include "catalog/FolderScan.h"

#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace ignivex::catalog {

ScanResult filesToAdd(const QStringList& paths, const std::atomic<bool>* cancel) {
    ScanResult out;
    for (const QString& given : paths) {
        const QFileInfo info(given);
        if (info.isDir()) {
            QStringList found;
            // Links to folders are not followed: a link back up would never end.
            QDirIterator it(info.absoluteFilePath(), {QStringLiteral("*.csv"), QStringLiteral("*.CSV")},
                            QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (cancel && cancel->load()) {
                    out.cancelled = true;
                    return out;
                }
                found << it.next();
            }
            std::sort(found.begin(), found.end());
            out.files << found;
        } else if (info.exists()) {
            out.files << info.absoluteFilePath();
        } else {
            out.missing << given;
        }
    }
    out.files.removeDuplicates();
    return out;
}

}  // namespace ignivex::catalog
