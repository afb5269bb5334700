#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QAction;
class QTextBrowser;
class QTreeWidget;

namespace ignivex {

// The help pages' folder and their table of contents, among the program's own files.
QString helpFolder(const QString& programFolder);
QString helpContentsPath(const QString& programFolder);

// The help window: the table of contents on the left, the page on the right, with Back,
// Forward and Contents. It belongs to the main window, is not modal, and stays open for as
// long as the user wants it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* owner);

    // Points the window at the pages of `programFolder` (looked up afresh every time) and
    // shows their table of contents, or a plain account of where the pages were looked for.
    void showContents(const QString& programFolder);

    bool pagesFound() const { return pagesFound_; }
    QTextBrowser* browser() const { return browser_; }
    QTreeWidget* contentsPane() const { return contents_; }

private:
    void fillContents();
    void showMissing();
    void markCurrentPage(const QUrl& url);

    QTextBrowser* browser_;
    QTreeWidget* contents_;
    QAction* back_;
    QAction* forward_;
    QAction* home_;
    QUrl index_;
    QString folder_;
    bool pagesFound_ = false;
};

// Help, Contents (mnuHelpContents): opens the help window at its table of contents, or
// raises the one that is already open. `owner` (the main window) owns it; without an owner the
// window stands alone.
HelpWindow* showHelpContents(QWidget* owner, const QString& programFolder);

}  // namespace ignivex
