#include "catalog/LibraryAdder.h"

#include "catalog/FolderScan.h"

#include <QMetaObject>

namespace ignivex::catalog {

LibraryAdder::LibraryAdder(QObject* parent) : QObject(parent) {}

LibraryAdder::~LibraryAdder() {
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
}

bool LibraryAdder::start(const QStringList& paths, const QHash<QString, QString>& known) {
    if (running())
        return false;
    if (worker_.joinable())
        worker_.join();
    cancel_ = false;
    ended_ = false;
    worker_ = std::thread([this, paths, known] { work(paths, known); });
    return true;
}

void LibraryAdder::cancel() {
    cancel_ = true;
}

void LibraryAdder::work(QStringList paths, QHash<QString, QString> known) {
    // Everything goes back through the event loop, so the signals reach the adder's thread in
    // order, and none after the adder is gone (the destructor waits for this thread).
    auto post = [this](auto f) { QMetaObject::invokeMethod(this, f, Qt::QueuedConnection); };
    post([this] { emit progress(0, 0); });
    const ScanResult scan = filesToAdd(paths, &cancel_);
    for (const QString& missing : scan.missing) {
        IndexedFile f{missing, {}, {}};
        f.outcome.reason = QStringLiteral("it does not exist");
        post([this, f] { emit indexed(f); });
    }
    const int total = int(scan.files.size());
    bool cancelled = scan.cancelled;
    for (int i = 0; i < total && !cancelled; ++i) {
        const QString& file = scan.files[i];
        if (const auto at = known.constFind(file); at != known.cend() && headerRunId(file) == *at) {
            IndexedFile f{file, {}, *at};
            post([this, f] { emit indexed(f); });
            post([this, i, total] { emit progress(i + 1, total); });
            continue;
        }
        IndexedFile f{file, indexFile(file, &cancel_), {}};
        cancelled = f.outcome.cancelled || cancel_.load();
        if (!f.outcome.cancelled)
            post([this, f] { emit indexed(f); });
        post([this, i, total] { emit progress(i + 1, total); });
    }
    post([this, cancelled] {
        ended_ = true;
        emit finished(cancelled);
    });
}

}  // namespace ignivex::catalog
