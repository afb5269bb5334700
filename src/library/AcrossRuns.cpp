#include "library/AcrossRuns.h"

#include "analysis/Statistics.h"
#include "catalog/RunSet.h"
#include "record/RecordingReader.h"
#include "recovery/MessageBoxes.h"
#include "review/HistogramWindow.h"
#include "review/MapTableWindow.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QtConcurrent/QtConcurrentRun>

namespace ignivex::library {

namespace {

std::shared_ptr<const chart::LoadedRecording> loaded(const QStringList& paths,
                                                     const QString& title, QString* why) {
    auto recording = catalog::combinedRecording(paths, why);
    if (!recording)
        return nullptr;
    auto out = std::make_shared<chart::LoadedRecording>();
    // The tools title themselves after the file: here the set's name.
    out->path = title;
    out->details = recording->details;
    out->chart = chart::makeChartData(std::move(recording->table), false);
    return out;
}

}  // namespace

AcrossRuns::AcrossRuns(MessageBoxes& boxes, QWidget* parent)
    : QObject(parent), boxes_(boxes), parent_(parent) {}

AcrossRuns::~AcrossRuns() {
    if (watcher_) {
        watcher_->disconnect(this);
        watcher_->waitForFinished();
    }
    delete mapTable_;
    delete histogram_;
    delete statistics_;
}

void AcrossRuns::show(Tool tool, const QStringList& runs, const QString& title,
                      const QStringList& comparedWith, const QString& comparedTitle) {
    if (watcher_)
        return;
    watcher_ = new QFutureWatcher<Sets>(this);
    connect(watcher_, &QFutureWatcher<Sets>::finished, this, [this, tool] {
        const Sets sets = watcher_->result();
        watcher_->deleteLater();
        watcher_ = nullptr;
        present(tool, sets);
    });
    watcher_->setFuture(QtConcurrent::run([runs, title, comparedWith, comparedTitle] {
        Sets s;
        s.runs = loaded(runs, title, &s.error);
        if (s.runs && !comparedWith.isEmpty())
            s.comparedWith = loaded(comparedWith, comparedTitle, &s.error);
        return s;
    }));
}

void AcrossRuns::present(Tool tool, const Sets& sets) {
    if (!sets.error.isEmpty()) {
        boxes_.show(sets.error, 48, QStringLiteral("Library"));
        emit failed(sets.error);
        return;
    }
    state_.setRecording(sets.runs);
    if (sets.comparedWith)
        state_.setOverlay(sets.comparedWith, 0);
    else
        state_.setOverlay(nullptr, 0);
    QMainWindow* window = nullptr;
    if (tool == Tool::MapTable) {
        if (!mapTable_) {
            mapTable_ = new chart::MapTableWindow(boxes_, parent_);
            mapTable_->follow(state_);
        }
        window = mapTable_;
    } else if (tool == Tool::Histogram) {
        if (!histogram_) {
            histogram_ = new chart::HistogramWindow(boxes_, parent_);
            histogram_->follow(state_);
        }
        window = histogram_;
    } else {
        showStatistics();
    }
    if (window) {
        window->setWindowTitle(window->windowTitle().section(QStringLiteral(" - "), 0, 0) +
                               QStringLiteral(" - ") + sets.runs->path);
        window->show();
        window->raise();
    }
    emit shown();
}

void AcrossRuns::showStatistics() {
    const record::Table& t = state_.recording()->chart->table;
    const analysis::Statistics stats = analysis::statistics(t, analysis::Span());
    if (!statistics_) {
        statistics_ = new QTableWidget(parent_);
        statistics_->setWindowFlag(Qt::Window);
        statistics_->setObjectName(QStringLiteral("tblAcrossStatistics"));
        statistics_->setColumnCount(5);
        statistics_->setHorizontalHeaderLabels({QStringLiteral("Channel"), QStringLiteral("Samples"),
                                                QStringLiteral("Min"), QStringLiteral("Max"),
                                                QStringLiteral("Mean")});
        statistics_->verticalHeader()->hide();
        statistics_->resize(520, 320);
    }
    statistics_->setWindowTitle(QStringLiteral("Statistics - ") + state_.recording()->path);
    statistics_->setRowCount(t.channelCount());
    for (record::ChannelId c = 0; c < t.channelCount(); ++c) {
        const record::ChannelInfo& ch = t.channel(c);
        const analysis::ChannelStatistics& s = stats[std::size_t(c)];
        const int meanDecimals = ch.onOff() ? 3 : ch.decimals + 2;
        const QStringList cells = {
            ch.column, QString::number(s.samples),
            s.samples ? QString::number(s.min, 'f', ch.decimals) : QString(),
            s.samples ? QString::number(s.max, 'f', ch.decimals) : QString(),
            s.samples ? QString::number(s.mean, 'f', meanDecimals) : QString()};
        for (int i = 0; i < cells.size(); ++i)
            statistics_->setItem(c, i, new QTableWidgetItem(cells[i]));
    }
    statistics_->show();
    statistics_->raise();
}

}  // namespace ignivex::library
