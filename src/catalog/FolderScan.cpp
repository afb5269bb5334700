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
            // Links to folders are not followed: a link back up would never end. The name is
            // tested here rather than by the iterator's name filters, which are regular
            // expressions: this runs on a worker thread, and the expression engine's per-thread
            // stack is freed unsafely when such a thread ends under the Windows build's threads.
            QDirIterator it(info.absoluteFilePath(), QDir::Files | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (cancel && cancel->load()) {
                    out.cancelled = true;
                    return out;
                }
                const QString file = it.next();
                if (file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
                    found << file;
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
