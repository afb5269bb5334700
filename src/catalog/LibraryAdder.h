#pragma once

#include "catalog/RunIndex.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <thread>

// Files and folders read for the library in a thread of their own, so a window that adds a
// folder of long recordings stays free; what is read comes back on the adder's own thread,
// where the store is written.
namespace ignivex::catalog {

struct IndexedFile {
    QString path;
    IndexOutcome outcome;
};

class LibraryAdder : public QObject {
    Q_OBJECT
public:
    explicit LibraryAdder(QObject* parent = nullptr);
    ~LibraryAdder() override;

    // Starts reading; false while a reading is under way.
    bool start(const QStringList& paths);
    void cancel();
    bool running() const { return worker_.joinable() && !ended_; }

signals:
    // `done` files of `total` read; total is 0 while the folders are being searched.
    void progress(int done, int total);
    // A file read, in the order found (paths given that do not exist come first).
    void indexed(const ignivex::catalog::IndexedFile& file);
    void finished(bool cancelled);

private:
    void work(QStringList paths);

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool ended_ = true;
};

}  // namespace ignivex::catalog
