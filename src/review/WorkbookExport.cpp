#include "review/WorkbookExport.h"

#include "recovery/MessageBoxes.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent>
#include <atomic>
#include <memory>

namespace ignivex::chart {

std::optional<workbook::Written> exportWithProgress(QWidget* owner, MessageBoxes& boxes,
                                                    const QString& path, WorkbookWriter write) {
    // An hour at the fastest rate takes seconds: the window stays free meanwhile.
    QProgressDialog progress(QStringLiteral("Exporting %1\u2026").arg(QFileInfo(path).fileName()),
                             QStringLiteral("Cancel"), 0, 1000, owner);
    progress.setWindowTitle(kWorkbookTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<int>>(0);
    auto error = std::make_shared<QString>();
    QFuture<std::optional<workbook::Written>> future = QtConcurrent::run([=] {
        workbook::Options options;
        options.replace = true;  // the save dialog asked before an existing file is replaced
        options.cancel = cancel.get();
        options.progress = [done](double share) { done->store(int(share * 1000)); };
        return write(options, error.get());
    });
    QFutureWatcher<std::optional<workbook::Written>> watcher;
    QEventLoop waiting;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &waiting, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &progress, [&] {
        progress.setValue(done->load());
        if (progress.wasCanceled())
            cancel->store(true);
    });
    tick.start(50);
    watcher.setFuture(future);
    waiting.exec();
    tick.stop();
    progress.reset();
    const std::optional<workbook::Written> written = future.result();
    if (!written && !error->isEmpty())
        boxes.show(*error + QStringLiteral(" Choose another file or folder, or free some space."),
                   box::OkOnly + box::Exclamation, kWorkbookTitle);
    return written;
}

}  // namespace ignivex::chart
