#pragma once

#include "catalog/RunIndex.h"

#include <QHash>
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
    // Set instead of the outcome for a file whose "# id:" line names the run the library has
    // at that place already: it is not read again.
    QString knownId;
};

class LibraryAdder : public QObject {
    Q_OBJECT
public:
    explicit LibraryAdder(QObject* parent = nullptr);
    ~LibraryAdder() override;

    // Starts reading; false while a reading is under way. `known`: the ids of the runs the
    // library has, by their files' absolute paths.
    bool start(const QStringList& paths, const QHash<QString, QString>& known = {});
    void cancel();
    bool running() const { return worker_.joinable() && !ended_; }

signals:
    // `done` files of `total` read; total is 0 while the folders are being searched.
    void progress(int done, int total);
    // A file read, in the order found (paths given that do not exist come first).
    void indexed(const ignivex::catalog::IndexedFile& file);
    void finished(bool cancelled);

private:
    void work(QStringList paths, QHash<QString, QString> known);

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool ended_ = true;
};

}  // namespace ignivex::catalog
