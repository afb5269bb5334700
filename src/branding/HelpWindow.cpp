#include "branding/HelpWindow.h"

#include "branding/ProgramFiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ignivex {
namespace {

const QString kTitle = QStringLiteral("Ignivex Log Help");

// A link of the contents page: where it goes and what it says.
struct Entry {
    QString href;
    QString text;
};

// The links of the contents page, in page order, once each. Only pages of the help folder
// count; anchors within a page and anything outside are left to the page itself.
QList<Entry> contentsLinks(const QString& indexPath) {
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(file.readAll()));
    QList<Entry> entries;
    QStringList seen;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isAnchor())
                continue;
            const QString href = format.anchorHref();
            const QUrl url(href);
            if (href.isEmpty() || !url.isRelative() || href.startsWith(QLatin1Char('#')))
                continue;
            const QString page = url.path();
            if (!page.endsWith(QLatin1String(".html")) || seen.contains(page))
                continue;
            seen << page;
            entries.append({page, fragment.text().trimmed()});
        }
    }
    return entries;
}

}  // namespace

QString helpFolder(const QString& programFolder) {
    return programFilesFolder(programFolder) + QStringLiteral("/help");
}

QString helpContentsPath(const QString& programFolder) {
    return helpFolder(programFolder) + QStringLiteral("/index.html");
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(kTitle);
    resize(860, 620);

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_ = toolbar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
    forward_ = toolbar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
    home_ = toolbar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Contents"));
    back_->setObjectName(QStringLiteral("actBack"));
    forward_->setObjectName(QStringLiteral("actForward"));
    home_->setObjectName(QStringLiteral("actContents"));
    back_->setShortcut(QKeySequence::Back);
    forward_->setShortcut(QKeySequence::Forward);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    contents_ = new QTreeWidget(this);
    contents_->setObjectName(QStringLiteral("helpContents"));
    contents_->setHeaderHidden(true);
    contents_->setRootIsDecorated(false);
    contents_->setColumnCount(1);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(false);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 640});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(splitter);

    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home_, &QAction::triggered, this, [this] { showContents(folder_); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::markCurrentPage);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString page = browser_->documentTitle();
        setWindowTitle(page.isEmpty() ? kTitle : kTitle + QStringLiteral(" - ") + page);
    });
    // A click, or Enter on an entry, opens its page (once: some styles report both).
    auto open = [this](QTreeWidgetItem* item) {
        const QUrl page(item->data(0, Qt::UserRole).toString());
        if (pagesFound_ && page != browser_->source().adjusted(QUrl::RemoveFragment))
            browser_->setSource(page);
    };
    connect(contents_, &QTreeWidget::itemActivated, this, open);
    connect(contents_, &QTreeWidget::itemClicked, this, open);
}

void HelpWindow::showContents(const QString& programFolder) {
    folder_ = programFolder;
    const QString indexPath = helpContentsPath(programFolder);
    pagesFound_ = QFileInfo(indexPath).isFile();
    if (!pagesFound_) {
        showMissing();
        return;
    }
    index_ = QUrl::fromLocalFile(QFileInfo(indexPath).absoluteFilePath());
    fillContents();
    browser_->setSource(index_);
    markCurrentPage(browser_->source());
}

void HelpWindow::fillContents() {
    contents_->clear();
    auto* top = new QTreeWidgetItem(contents_, {tr("Contents")});
    top->setData(0, Qt::UserRole, index_.toString());
    for (const Entry& entry : contentsLinks(index_.toLocalFile())) {
        auto* item = new QTreeWidgetItem(contents_, {entry.text});
        item->setData(0, Qt::UserRole, index_.resolved(QUrl(entry.href)).toString());
    }
}

void HelpWindow::showMissing() {
    contents_->clear();
    browser_->clearHistory();
    const QString folder =
        QDir::toNativeSeparators(QFileInfo(helpFolder(folder_)).absoluteFilePath());
    browser_->setHtml(
        QStringLiteral(
            "<h2>The help pages are missing</h2>"
            "<p>Ignivex Log looked for its help pages in the folder</p>"
            "<p><code>%1</code></p>"
            "<p>but found no <code>index.html</code> there.</p>"
            "<p>To get them back, reinstall Ignivex Log. If you built the program yourself, "
            "build it again: the build copies the pages from <code>docs/help</code> into the "
            "folder <code>help</code> beside the executable.</p>"
            "<p>Everything else in Ignivex Log works as usual without them. Click "
            "<b>Contents</b> to look again.</p>")
            .arg(folder.toHtmlEscaped()));
    setWindowTitle(kTitle);
}

void HelpWindow::markCurrentPage(const QUrl& url) {
    const QString current = url.adjusted(QUrl::RemoveFragment).toString();
    for (int i = 0; i < contents_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = contents_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == current) {
            contents_->setCurrentItem(item);
            return;
        }
    }
    contents_->setCurrentItem(nullptr);
}

HelpWindow* showHelpContents(QWidget* owner, const QString& programFolder) {
    static QPointer<HelpWindow> unowned;
    HelpWindow* window = owner
                             ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                             : unowned.data();
    if (!window) {
        window = new HelpWindow(owner);
        if (!owner) {
            window->setAttribute(Qt::WA_DeleteOnClose);
            unowned = window;
        }
    }
    window->showContents(programFolder);
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace ignivex
