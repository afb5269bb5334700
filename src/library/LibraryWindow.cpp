#include "library/LibraryWindow.h"

#include "base/MessageText.h"
#include "library/AcrossRuns.h"
#include "library/RunListModel.h"
#include "library/TeamPublishing.h"
#include "team/Connection.h"
#include "recovery/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace ignivex::library {

namespace {

const QString kTitle = QStringLiteral("Library");

std::optional<QString> askWithDialog(QWidget* parent, const QString& title, const QString& label,
                                     const QString& text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    return ok ? std::optional(answer) : std::nullopt;
}

}  // namespace

LibraryWindow::LibraryWindow(catalog::RunStore* store, const QString& problem, MessageBoxes& boxes,
                             QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      boxes_(boxes),
      ask_([this](const QString& t, const QString& l, const QString& x) {
          return askWithDialog(this, t, l, x);
      }),
      model_(new RunListModel(this)),
      sorted_(new QSortFilterProxyModel(this)),
      across_(new AcrossRuns(boxes, this)),
      publishing_(new TeamPublishing(this)) {
    setObjectName(QStringLiteral("frmLibrary"));
    setWindowTitle(kTitle);
    setWindowFlag(Qt::Window);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    buildFilters(central);
    layout->addWidget(central->findChild<QWidget*>(QStringLiteral("fraFilters")));

    sorted_->setSourceModel(model_);
    sorted_->setSortRole(RunListModel::kSortRole);
    view_ = new QTableView(central);
    view_->setObjectName(QStringLiteral("tblRuns"));
    view_->setModel(sorted_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(RunListModel::Started, Qt::DescendingOrder);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setWordWrap(false);
    connect(view_, &QTableView::doubleClicked, this, &LibraryWindow::openSelected);
    layout->addWidget(view_, 1);
    setCentralWidget(central);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("prgAdding"));
    progress_->setMaximumWidth(220);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancelAdding"));
    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(cancel_);
    progress_->hide();
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, &LibraryWindow::cancelAdding);
    connect(&adder_, &catalog::LibraryAdder::progress, this, [this](int done, int total) {
        progress_->setMaximum(std::max(total, 0));
        progress_->setValue(done);
        status_->setText(total == 0 ? QStringLiteral("Looking for recordings\u2026")
                                    : QStringLiteral("Reading %1 of %2\u2026").arg(done).arg(total));
    });
    connect(&adder_, &catalog::LibraryAdder::indexed, this, &LibraryWindow::indexed);
    connect(&adder_, &catalog::LibraryAdder::finished, this, &LibraryWindow::addingEnded);

    buildActions();
    resize(1000, 520);
    if (!store_) {
        status_->setText(problem);
        centralWidget()->setEnabled(false);
        menuBar()->setEnabled(false);
        return;
    }
    fillTags();
    refresh();
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::buildFilters(QWidget* top) {
    auto* box = new QWidget(top);
    box->setObjectName(QStringLiteral("fraFilters"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    search_ = new QLineEdit(box);
    search_->setObjectName(QStringLiteral("txtSearch"));
    search_->setPlaceholderText(QStringLiteral("Search file, tags, note, firmware"));
    search_->setClearButtonEnabled(true);
    row->addWidget(search_, 2);
    row->addWidget(new QLabel(QStringLiteral("Tag"), box));
    tag_ = new QComboBox(box);
    tag_->setObjectName(QStringLiteral("cboTag"));
    row->addWidget(tag_);
    fromOn_ = new QCheckBox(QStringLiteral("From"), box);
    from_ = new QDateEdit(QDate::currentDate().addMonths(-1), box);
    toOn_ = new QCheckBox(QStringLiteral("to"), box);
    to_ = new QDateEdit(QDate::currentDate(), box);
    for (QDateEdit* d : {from_, to_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    row->addWidget(fromOn_);
    row->addWidget(from_);
    row->addWidget(toOn_);
    row->addWidget(to_);
    row->addWidget(new QLabel(QStringLiteral("Minutes"), box));
    minMinutes_ = new QDoubleSpinBox(box);
    maxMinutes_ = new QDoubleSpinBox(box);
    for (QDoubleSpinBox* s : {minMinutes_, maxMinutes_}) {
        s->setRange(0, 100000);
        s->setDecimals(0);
        s->setSpecialValueText(QStringLiteral("any"));
    }
    minMinutes_->setObjectName(QStringLiteral("spnMinMinutes"));
    maxMinutes_->setObjectName(QStringLiteral("spnMaxMinutes"));
    row->addWidget(minMinutes_);
    row->addWidget(new QLabel(QStringLiteral("to"), box));
    row->addWidget(maxMinutes_);
    connect(search_, &QLineEdit::textChanged, this, &LibraryWindow::refresh);
    connect(tag_, &QComboBox::currentIndexChanged, this, &LibraryWindow::refresh);
    for (QCheckBox* c : {fromOn_, toOn_})
        connect(c, &QCheckBox::toggled, this, &LibraryWindow::refresh);
    for (QDateEdit* d : {from_, to_})
        connect(d, &QDateEdit::dateChanged, this, &LibraryWindow::refresh);
    for (QDoubleSpinBox* s : {minMinutes_, maxMinutes_})
        connect(s, &QDoubleSpinBox::valueChanged, this, &LibraryWindow::refresh);
}

void LibraryWindow::buildActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    item(file, "mnuAddFiles", QStringLiteral("Add &Files\u2026"), [this] {
        const QStringList files = QFileDialog::getOpenFileNames(
            this, QStringLiteral("Add Recordings"), QString(),
            QStringLiteral("Recordings (*.csv);;All files (*)"));
        if (!files.isEmpty())
            addPaths(files);
    });
    item(file, "mnuAddFolder", QStringLiteral("Add F&older\u2026"), [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"));
        if (!folder.isEmpty())
            addPaths({folder});
    });
    file->addSeparator();
    item(file, "mnuOpenRun", QStringLiteral("&Open"), &LibraryWindow::openSelected);
    item(file, "mnuOverlayRuns", QStringLiteral("O&verlay in the Review"),
         &LibraryWindow::overlaySelected);
    item(file, "mnuPublishLibrary", QStringLiteral("&Publish the Library to a Team Library\u2026"),
         [this] {
             QString why;
             const auto all = store_->find({}, &why);
             if (!all) {
                 tell(why);
                 return;
             }
             publish(*all);
         });
    file->addSeparator();
    item(file, "mnuCloseLibrary", QStringLiteral("&Close"), &QWidget::close);
    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    item(run, "mnuTagRuns", QStringLiteral("&Tag\u2026"), &LibraryWindow::tagSelected);
    item(run, "mnuNoteRun", QStringLiteral("&Note\u2026"), &LibraryWindow::noteSelected);
    item(run, "mnuPublishRuns", QStringLiteral("&Publish to a Team Library\u2026"), [this] {
        const auto runs = selectedRuns();
        if (runs.isEmpty())
            tell(QStringLiteral("Choose the runs to publish, or use File, Publish the Library."));
        else
            publish(runs);
    });
    item(run, "mnuRemoveRuns", QStringLiteral("&Remove from Library"),
         &LibraryWindow::removeSelected);
    QMenu* across = menuBar()->addMenu(QStringLiteral("&Across Runs"));
    item(across, "mnuAcrossMapTable", QStringLiteral("&Map Table"),
         [this] { showAcross(int(AcrossRuns::Tool::MapTable)); });
    item(across, "mnuAcrossHistogram", QStringLiteral("&Histogram"),
         [this] { showAcross(int(AcrossRuns::Tool::Histogram)); });
    item(across, "mnuAcrossStatistics", QStringLiteral("&Statistics"),
         [this] { showAcross(int(AcrossRuns::Tool::Statistics)); });
    item(across, "mnuAcrossDifference", QStringLiteral("&Difference Table with a Tag\u2026"), [this] {
        if (const auto tag = ask_(QStringLiteral("Difference Table"),
                                  QStringLiteral("The chosen runs less the runs of the tag:"), {}))
            compareWithTag(tag->simplified());
    });
}

void LibraryWindow::publish(const QList<catalog::RunEntry>& runs) {
    if (publishing_->running())
        return;
    // The address is remembered without its password: that comes from the password file.
    QSettings settings;
    const auto url = ask_(QStringLiteral("Publish to a Team Library"),
                          QStringLiteral("The team library's address "
                                         "(postgresql://user@server:5432/database):"),
                          settings.value(QStringLiteral("Library/TeamLibrary")).toString());
    if (!url || url->trimmed().isEmpty())
        return;
    const QString place = url->trimmed();
    if (!place.startsWith(QLatin1String("postgresql://")) &&
        !place.startsWith(QLatin1String("postgres://"))) {
        tell(QStringLiteral("\"%1\" is not a team library's address: it begins with "
                            "postgresql://, as in postgresql://ana@server:5432/tuning.")
                 .arg(readable(place, 80)));
        return;
    }
    settings.setValue(QStringLiteral("Library/TeamLibrary"), team::withoutPassword(place));
    auto* progress = new QProgressDialog(QStringLiteral("Sending %1 run(s) with their rows\u2026")
                                             .arg(runs.size()),
                                         QStringLiteral("Cancel"), 0, int(runs.size()), this);
    progress->setObjectName(QStringLiteral("dlgPublishing"));
    progress->setWindowTitle(QStringLiteral("Publish to a Team Library"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, publishing_, &TeamPublishing::cancel);
    connect(publishing_, &TeamPublishing::progressed, progress, &QProgressDialog::setValue);
    connect(publishing_, &TeamPublishing::finished, progress,
            [this, progress, place](const PublishOutcome& outcome) {
                progress->deleteLater();
                published_ = TeamPublishing::summary(place, outcome);
                tell(published_);
                emit publishingFinished();
            });
    publishing_->start(place, runs);
}

bool LibraryWindow::publishing() const {
    return publishing_->running();
}

void LibraryWindow::tell(const QString& text) {
    boxes_.show(text, 48, kTitle);
}

void LibraryWindow::fillTags() {
    QString why;
    const auto tags = store_->allTags(&why);
    const QString current = tag_->currentData().toString();
    QSignalBlocker quiet(tag_);
    tag_->clear();
    tag_->addItem(QStringLiteral("(any)"), QString());
    for (const QString& t : tags.value_or(QStringList()))
        tag_->addItem(t, t);
    tag_->setCurrentIndex(std::max(0, tag_->findData(current)));
}

void LibraryWindow::refresh() {
    if (!store_)
        return;
    catalog::RunQuery q;
    q.text = search_->text();
    q.tag = tag_->currentData().toString();
    if (fromOn_->isChecked())
        q.from = from_->date().startOfDay();
    if (toOn_->isChecked())
        q.to = to_->date().endOfDay();
    q.minDurationS = minMinutes_->value() * 60;
    q.maxDurationS = maxMinutes_->value() > 0 ? maxMinutes_->value() * 60 : -1;
    QString why;
    auto runs = store_->find(q, &why);
    if (!runs) {
        status_->setText(why);
        return;
    }
    int missing = 0;
    for (const catalog::RunEntry& r : *runs)
        missing += r.present ? 0 : 1;
    model_->setRuns(std::move(*runs));
    view_->resizeColumnsToContents();
    if (!adding())
        status_->setText(QStringLiteral("%1 runs%2")
                             .arg(model_->rowCount())
                             .arg(missing ? QStringLiteral(", %1 missing (add the folder they went "
                                                           "to, and they are found again)")
                                                .arg(missing)
                                          : QString()));
}

void LibraryWindow::addPaths(const QStringList& paths) {
    if (!store_ || adding())
        return;
    // A file whose id names the run already at its place is not read again.
    QHash<QString, QString> known;
    QString why;
    for (const catalog::RunEntry& r : store_->find({}, &why).value_or(QList<catalog::RunEntry>()))
        known.insert(r.path, r.id);
    if (!adder_.start(paths, known))
        return;
    report_.clear();
    added_ = known_ = skipped_ = 0;
    progress_->setRange(0, 0);
    progress_->show();
    cancel_->show();
}

void LibraryWindow::cancelAdding() {
    adder_.cancel();
}

void LibraryWindow::indexed(const catalog::IndexedFile& file) {
    const QString name = QFileInfo(file.path).fileName();
    if (!file.knownId.isEmpty()) {
        ++known_;
        report_ << QStringLiteral("known: %1").arg(name);
        return;
    }
    if (!file.outcome.run) {
        ++skipped_;
        report_ << QStringLiteral("skipped: %1: %2").arg(name, file.outcome.reason);
        return;
    }
    QString why;
    const auto result = store_->add(*file.outcome.run, &why);
    if (!result) {
        adder_.cancel();
        tell(why);
        return;
    }
    ++(*result == catalog::AddResult::Added ? added_ : known_);
    report_ << QStringLiteral("%1: %2")
                   .arg(*result == catalog::AddResult::Added   ? QStringLiteral("added")
                        : *result == catalog::AddResult::Moved ? QStringLiteral("found again")
                                                               : QStringLiteral("known"),
                        name);
}

void LibraryWindow::addingEnded(bool cancelled) {
    progress_->hide();
    cancel_->hide();
    fillTags();
    refresh();
    status_->setText(QStringLiteral("%1%2 added, %3 known, %4 skipped (not recordings)")
                         .arg(cancelled ? QStringLiteral("Cancelled: ") : QString())
                         .arg(added_)
                         .arg(known_)
                         .arg(skipped_));
    emit addingFinished();
}

QList<catalog::RunEntry> LibraryWindow::selectedRuns() const {
    QList<int> rows;
    for (const QModelIndex& i : view_->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QList<catalog::RunEntry> runs;
    for (int r : rows)
        runs << model_->run(sorted_->mapToSource(sorted_->index(r, 0)).row());
    return runs;
}

void LibraryWindow::selectRows(const QList<int>& rows) {
    view_->clearSelection();
    for (int r : rows)
        view_->selectionModel()->select(sorted_->index(r, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QStringList LibraryWindow::presentPaths(const QList<catalog::RunEntry>& runs) {
    QStringList paths, gone;
    for (const catalog::RunEntry& r : runs)
        (r.present ? paths : gone) << r.path;
    if (!gone.isEmpty())
        tell(QStringLiteral("%1 is no longer where the library found it. Add the folder it went "
                            "to (File, Add Folder...), and it is found again by its id.")
                 .arg(readablePath(QDir::toNativeSeparators(gone.first()))));
    return gone.isEmpty() ? paths : QStringList();
}

void LibraryWindow::openSelected() {
    const auto runs = selectedRuns();
    if (runs.isEmpty())
        return;
    const QStringList paths = presentPaths({runs.first()});
    if (!paths.isEmpty())
        emit openRequested(paths.first());
}

void LibraryWindow::overlaySelected() {
    const auto runs = selectedRuns();
    if (runs.size() < 2) {
        tell(QStringLiteral("Choose two runs or more (up to %1) to lay over each other.")
                 .arg(kMostShown));
        return;
    }
    if (runs.size() > kMostShown) {
        tell(QStringLiteral("The review shows up to %1 runs at once; %2 are chosen.")
                 .arg(kMostShown)
                 .arg(runs.size()));
        return;
    }
    const QStringList paths = presentPaths(runs);
    if (!paths.isEmpty())
        emit overlayRequested(paths);
}

void LibraryWindow::tagSelected() {
    const auto runs = selectedRuns();
    if (runs.isEmpty())
        return;
    const auto answer = ask_(QStringLiteral("Tag"),
                             QStringLiteral("Tags for %1 run(s), separated by commas:")
                                 .arg(runs.size()),
                             {});
    if (!answer)
        return;
    QStringList tags = answer->split(QLatin1Char(','), Qt::SkipEmptyParts);
    QString why;
    for (const catalog::RunEntry& r : runs) {
        if (!store_->addTags(r.id, tags, &why)) {
            tell(why);
            break;
        }
    }
    fillTags();
    refresh();
}

void LibraryWindow::noteSelected() {
    const auto runs = selectedRuns();
    if (runs.size() != 1)
        return;
    const auto answer = ask_(QStringLiteral("Note"), QStringLiteral("Note on %1:")
                                                         .arg(QFileInfo(runs.first().path).fileName()),
                             runs.first().note);
    QString why;
    if (answer && !store_->setNote(runs.first().id, *answer, &why))
        tell(why);
    refresh();
}

void LibraryWindow::removeSelected() {
    const auto runs = selectedRuns();
    QString why;
    for (const catalog::RunEntry& r : runs) {
        if (!store_->remove(r.id, &why)) {
            tell(why);
            break;
        }
    }
    fillTags();
    refresh();
}

void LibraryWindow::showAcross(int tool) {
    auto runs = selectedRuns();
    QString title = QStringLiteral("%1 runs").arg(runs.size());
    if (runs.isEmpty() && !tag_->currentData().toString().isEmpty()) {
        runs = model_->runs();
        title = QStringLiteral("tag %1 (%2 runs)").arg(tag_->currentData().toString()).arg(runs.size());
    }
    if (runs.isEmpty()) {
        tell(QStringLiteral("Choose the runs to take together, or a tag."));
        return;
    }
    std::reverse(runs.begin(), runs.end());  // oldest first, as they were driven
    const QStringList paths = presentPaths(runs);
    if (!paths.isEmpty())
        across_->show(AcrossRuns::Tool(tool), paths, title);
}

void LibraryWindow::compareWithTag(const QString& tag) {
    auto runs = selectedRuns();
    if (runs.isEmpty() || tag.isEmpty()) {
        tell(QStringLiteral("Choose the runs to compare, and give the tag of the runs to compare "
                            "them with."));
        return;
    }
    catalog::RunQuery q;
    q.tag = tag;
    QString why;
    auto others = store_->find(q, &why);
    if (!others || others->isEmpty()) {
        tell(others ? QStringLiteral("The library has no run tagged \"%1\".").arg(readable(tag, 40))
                    : why);
        return;
    }
    std::reverse(runs.begin(), runs.end());
    std::reverse(others->begin(), others->end());
    const QStringList a = presentPaths(runs);
    const QStringList b = a.isEmpty() ? QStringList() : presentPaths(*others);
    if (!b.isEmpty())
        across_->show(AcrossRuns::Tool::MapTable, a, QStringLiteral("%1 runs").arg(a.size()), b,
                      QStringLiteral("tag %1").arg(tag));
}

}  // namespace ignivex::library
