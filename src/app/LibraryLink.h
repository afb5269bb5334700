#pragma once

#include "catalog/LibraryAdder.h"
#include "catalog/RunStore.h"

#include <QObject>
#include <QStringList>
#include <memory>

class QWidget;

namespace ignivex {
class MessageBoxes;
}

namespace ignivex::library {
class LibraryWindow;
}

namespace ignivex::chart {
class ChartWindows;
}

namespace ignivex {

// The main window's way to the library: File, Library... opens its window, and every recording
// the program makes or opens is indexed as it is closed or shown, in a thread, without a word
// unless the library cannot be written.
class LibraryLink : public QObject {
    Q_OBJECT
public:
    LibraryLink(chart::ChartWindows& charts, MessageBoxes& boxes, QWidget* mainWindow);
    ~LibraryLink() override;

    void mnuLibrary_Click();
    // Indexes the recording in the local library (after the ones waiting).
    void index(const QString& path);
    library::LibraryWindow* window() const { return window_; }
    bool indexing() const { return adder_.running() || !waiting_.isEmpty(); }

signals:
    void indexed(const QString& path);

private:
    // The local library, opened on first use; null (with problem_ set) when it is refused.
    catalog::RunStore* store();
    void next();

    chart::ChartWindows& charts_;
    MessageBoxes& boxes_;
    QWidget* mainWindow_;
    std::unique_ptr<catalog::RunStore> store_;
    QString problem_;
    bool tried_ = false;
    catalog::LibraryAdder adder_;
    QStringList waiting_;
    library::LibraryWindow* window_ = nullptr;
};

}  // namespace ignivex
