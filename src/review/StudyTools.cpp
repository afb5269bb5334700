#include "review/StudyTools.h"

#include "review/FormulaTools.h"
#include "review/HistogramWindow.h"
#include "review/MapTableWindow.h"
#include "review/ReviewTools.h"
#include "review/ReviewWindow.h"
#include "review/XyPlotWindow.h"
#include "base/AppIdentity.h"
#include "recovery/MessageBoxes.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

namespace ignivex::chart {

namespace {
const QString kRecentKey = QStringLiteral("recentStudies");
const QString kFilter = QStringLiteral("Studies (*.study.json *.json)");
}  // namespace

StudyTools::StudyTools(ReviewWindow& review, MessageBoxes& boxes, ReviewTools& tools,
                       FormulaTools& formulas)
    : QObject(&review), review_(review), boxes_(boxes), tools_(tools), formulas_(formulas) {
    setObjectName(QStringLiteral("studyTools"));
    QMenu* file = review.fileMenu();
    const QList<QAction*> items = file->actions();
    QAction* before = items.size() >= 2 ? items[items.size() - 2] : nullptr;
    auto* save = new QAction(QStringLiteral("Save St&udy\u2026"), file);
    save->setObjectName(QStringLiteral("mnuSaveStudy"));
    connect(save, &QAction::triggered, this, [this] {
        if (!review_.recording())
            return;
        const QFileInfo source(review_.recording()->path);
        const QString path = QFileDialog::getSaveFileName(
            &review_, QStringLiteral("Save Study"),
            source.dir().filePath(source.completeBaseName() + QStringLiteral(".study.json")),
            kFilter);
        if (!path.isEmpty())
            this->save(path);
    });
    auto* open = new QAction(QStringLiteral("Open Stud&y\u2026"), file);
    open->setObjectName(QStringLiteral("mnuOpenStudy"));
    connect(open, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(&review_, QStringLiteral("Open Study"), {}, kFilter);
        if (!path.isEmpty())
            this->open(path);
    });
    auto* recent = new QMenu(QStringLiteral("Recent S&tudies"), file);
    recent->setObjectName(QStringLiteral("mnuRecentStudies"));
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { fillRecent(recent); });
    file->insertSeparator(before);
    file->insertAction(before, save);
    file->insertAction(before, open);
    file->insertMenu(before, recent);

    connect(&review_.state(), &ReviewState::recordingChanged, this, &StudyTools::step);
    connect(&review_.state(), &ReviewState::overlayChanged, this, &StudyTools::step);
    // An overlay that cannot be read is left out; the others still come.
    connect(&review_, &ReviewWindow::overlayFailed, this, [this] {
        if (!pending_)
            return;
        const std::size_t failed = std::size_t(review_.state().overlayCount());
        if (failed < pending_->overlays.size())
            pending_->overlays.erase(pending_->overlays.begin() + std::ptrdiff_t(failed));
        step();
    });
}

QStringList StudyTools::recentStudies() {
    return userSettings().value(kRecentKey).toStringList();
}

void StudyTools::remember(const QString& path) {
    QStringList kept = recentStudies();
    kept.removeAll(path);
    kept.prepend(path);
    QSettings settings = userSettings();
    settings.setValue(kRecentKey, kept.mid(0, kRecentKept));
}

void StudyTools::fillRecent(QMenu* menu) {
    menu->clear();
    const QStringList kept = recentStudies();
    if (kept.isEmpty())
        menu->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
    for (const QString& path : kept) {
        connect(menu->addAction(QDir::toNativeSeparators(path)), &QAction::triggered, this,
                [this, path] { open(path); });
    }
}

std::optional<Study> StudyTools::current() const {
    const ReviewState& state = review_.state();
    if (!state.plainRecording())
        return std::nullopt;
    Study s;
    s.recording = QFileInfo(state.plainRecording()->path).absoluteFilePath();
    for (int i = 0; i < state.overlayCount(); ++i)
        s.overlays.push_back(
            {QFileInfo(state.overlay(i)->path).absoluteFilePath(), state.overlayShift(i)});
    s.cursor = state.cursor();
    s.cursorB = state.cursorB();
    s.viewFrom = state.viewStart();
    s.viewTo = state.viewEnd();
    s.formulas = formulas_.formulas();
    s.filter = state.activeFilterName();
    auto kept = [&s](const QString& name, const auto* window) {
        if (!window || !window->isVisible())
            return;
        s.windows << name;
        s.windowChoices.insert(name, window->choices());
    };
    kept(QStringLiteral("map_table"), tools_.mapTableWindow());
    kept(QStringLiteral("xy_plot"), tools_.xyPlotWindow());
    kept(QStringLiteral("histogram"), tools_.histogramWindow());
    return s;
}

bool StudyTools::save(const QString& path) {
    const auto study = current();
    if (!study)
        return false;
    QString why;
    if (!writeStudy(path, *study, &why)) {
        boxes_.show(QStringLiteral("The study could not be written to %1: %2. Choose another "
                                   "folder or file.")
                        .arg(QDir::toNativeSeparators(path), why),
                    box::OkOnly + box::Exclamation, QStringLiteral("Save Study"));
        return false;
    }
    remember(QFileInfo(path).absoluteFilePath());
    review_.statusBar()->showMessage(
        QStringLiteral("Study saved to %1.").arg(QDir::toNativeSeparators(path)), 8000);
    return true;
}

void StudyTools::open(const QString& path) {
    QString why;
    auto study = readStudy(path, &why);
    if (!study) {
        boxes_.show(QStringLiteral("%1 could not be opened as a study: %2.")
                        .arg(QDir::toNativeSeparators(path), why),
                    box::OkOnly + box::Exclamation, QStringLiteral("Open Study"));
        return;
    }
    if (!QFileInfo::exists(study->recording)) {
        boxes_.show(QStringLiteral("The study's recording %1 is not there: move it back beside "
                                   "the study, or open the recording itself.")
                        .arg(QDir::toNativeSeparators(study->recording)),
                    box::OkOnly + box::Exclamation, QStringLiteral("Open Study"));
        return;
    }
    // The channels by formula first, so the recording is shown with them as it comes.
    pending_.reset();
    if (!formulas_.apply(study->formulas))
        return;
    review_.closeOverlays();
    remember(QFileInfo(path).absoluteFilePath());
    pending_ = std::move(*study);
    pendingPath_ = path;
    review_.openFile(pending_->recording);
}

void StudyTools::step() {
    if (!pending_)
        return;
    const ReviewState& state = review_.state();
    const auto& shown = state.plainRecording();
    if (!shown)
        return;
    if (QFileInfo(shown->path).absoluteFilePath() != QFileInfo(pending_->recording).absoluteFilePath()) {
        pending_.reset();  // another recording was opened meanwhile
        return;
    }
    // The overlays one after the other, in their order.
    const std::size_t shownOverlays = std::size_t(state.overlayCount());
    if (shownOverlays >= pending_->overlays.size()) {
        finish();
        return;
    }
    if (!review_.overlayLoading())
        review_.openOverlay(pending_->overlays[shownOverlays].path);
}

void StudyTools::finish() {
    Study s = std::move(*pending_);
    pending_.reset();
    ReviewState& state = review_.state();
    for (std::size_t i = 0; i < s.overlays.size(); ++i)
        state.setOverlayShift(int(i), s.overlays[i].shift);
    state.setView(s.viewFrom, s.viewTo);
    state.setCursor(s.cursor);
    state.setCursorB(s.cursorB);
    int active = -1;
    for (std::size_t i = 0; i < state.filters().size(); ++i) {
        if (state.filters()[i].name == s.filter)
            active = int(i);
    }
    state.setFilters(state.filters(), active);
    auto chosen = [&s](const QString& name) {
        return s.windowChoices.value(name).toObject();
    };
    if (s.windows.contains(QStringLiteral("map_table"))) {
        tools_.openMapTable();
        tools_.mapTableWindow()->applyChoices(chosen(QStringLiteral("map_table")));
    }
    if (s.windows.contains(QStringLiteral("xy_plot"))) {
        tools_.openXyPlot();
        tools_.xyPlotWindow()->applyChoices(chosen(QStringLiteral("xy_plot")));
    }
    if (s.windows.contains(QStringLiteral("histogram"))) {
        tools_.openHistogram();
        tools_.histogramWindow()->applyChoices(chosen(QStringLiteral("histogram")));
    }
    review_.raise();
    emit opened(pendingPath_);
}

}  // namespace ignivex::chart
