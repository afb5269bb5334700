#include "app/LibraryLink.h"

#include "app/ChartWindows.h"
#include "catalog/LibraryPlace.h"
#include "library/LibraryWindow.h"

#include <QLoggingCategory>
#include <QWidget>

namespace ignivex {

Q_LOGGING_CATEGORY(libraryLog, "ignivex.library")

LibraryLink::LibraryLink(chart::ChartWindows& charts, MessageBoxes& boxes, QWidget* mainWindow)
    : QObject(mainWindow), charts_(charts), boxes_(boxes), mainWindow_(mainWindow) {
    connect(&adder_, &catalog::LibraryAdder::indexed, this,
            [this](const catalog::IndexedFile& file) {
                if (!file.outcome.run || !store())
                    return;
                QString why;
                if (!store_->add(*file.outcome.run, &why))
                    qCWarning(libraryLog) << why;
                else if (window_)
                    window_->refresh();
                emit indexed(file.path);
            });
    connect(&adder_, &catalog::LibraryAdder::finished, this, [this] { next(); });
    connect(&charts_, &chart::ChartWindows::recordingShown, this, &LibraryLink::index);
}

LibraryLink::~LibraryLink() {
    delete window_;
}

catalog::RunStore* LibraryLink::store() {
    if (!tried_) {
        tried_ = true;
        store_ = catalog::openLibrary({}, &problem_);
        if (!store_)
            qCWarning(libraryLog) << problem_;
    }
    return store_.get();
}

void LibraryLink::mnuLibrary_Click() {
    if (!window_) {
        window_ = new library::LibraryWindow(store(), problem_, boxes_, mainWindow_);
        connect(window_, &library::LibraryWindow::openRequested, &charts_,
                &chart::ChartWindows::openRecording);
        connect(window_, &library::LibraryWindow::overlayRequested, this,
                [this](const QStringList& paths) { charts_.openWithOverlays(paths); });
        if (!store_)
            boxes_.show(problem_, 48, QStringLiteral("Library"));
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LibraryLink::index(const QString& path) {
    if (path.isEmpty() || waiting_.contains(path))
        return;
    waiting_ << path;
    if (!adder_.running())
        next();
}

void LibraryLink::next() {
    if (waiting_.isEmpty() || adder_.running())
        return;
    adder_.start({waiting_.takeFirst()});
}

}  // namespace ignivex
