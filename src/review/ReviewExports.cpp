// The review's exports: File, Export Section..., Export for Spreadsheet... and the scene that
// File, Export Picture... writes.
#include "review/ReviewWindow.h"

#include "analysis/Section.h"
#include "review/WorkbookExport.h"
#include "recovery/MessageBoxes.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QStatusBar>

namespace ignivex::chart {

ChartScene ReviewWindow::pictureScene() const {
    const std::shared_ptr<const LoadedRecording>& recording = state_.recording();
    if (!recording)
        return chart_->scene();
    ChartScene scene = chart_->scene();
    const ChartData& data = *recording->chart;
    const QDateTime started = QDateTime::fromMSecsSinceEpoch(
        data.table.wallMs.front(), Qt::OffsetFromUTC, data.table.utcOffsetSeconds);
    scene.title = QStringLiteral("%1   %2   %3 to %4")
                      .arg(QFileInfo(recording->path).fileName(),
                           started.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                           timeLabel(&data, scene.t0, TimeStyle::Elapsed, 1),
                           timeLabel(&data, scene.t1, TimeStyle::Elapsed, 1));
    if (state_.overlayCount() > 0)
        scene.runName = QFileInfo(recording->path).fileName();
    for (int i = 0; i < state_.overlayCount(); ++i)
        scene.overlays[std::size_t(i)].name =
            QStringLiteral("%1 (moved %2 s)")
                .arg(QFileInfo(state_.overlay(i)->path).fileName(),
                     QString::asprintf("%+.3f", state_.overlayShift(i)));
    return scene;
}

void ReviewWindow::exportSection() {
    const std::shared_ptr<const LoadedRecording> recording = state_.recording();
    if (!recording)
        return;
    const auto [from, to] = statisticsSpan();
    const QFileInfo source(recording->path);
    const QString suggested =
        source.dir().filePath(QStringLiteral("%1-%2-%3.csv")
                                  .arg(source.completeBaseName(), QString::number(from, 'f', 0),
                                       QString::number(to, 'f', 0)));
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export Section"), suggested, QStringLiteral("Recordings (*.csv)"));
    if (path.isEmpty())
        return;
    // The dialog asked before an existing file is replaced; the section is written whole first.
    QString error;
    const auto rows = analysis::writeSection(recording->path, path, {from, to, nullptr}, &error);
    if (!rows) {
        boxes_.show(error + QStringLiteral(" Choose another file or folder, or another span."),
                    box::OkOnly + box::Exclamation, QStringLiteral("Export Section"));
        return;
    }
    statusBar()->showMessage(
        QStringLiteral("%1 rows written to %2.").arg(*rows).arg(QDir::toNativeSeparators(path)),
        8000);
}

void ReviewWindow::exportWorkbook() {
    if (!state_.recording())
        return;
    const QString title = QStringLiteral("Export for Spreadsheet");
    auto between = [](double a, double b) {
        return QStringLiteral("%1 s to %2 s").arg(a, 0, 'f', 3).arg(b, 0, 'f', 3);
    };
    QStringList choices = {
        QStringLiteral("The whole recording"),
        QStringLiteral("The view, %1").arg(between(state_.viewStart(), state_.viewEnd()))};
    if (state_.cursorB())
        choices << QStringLiteral("Between the cursors, %1")
                       .arg(between(statisticsSpan().first, statisticsSpan().second));
    bool ok = false;
    const QString choice = QInputDialog::getItem(this, title, QStringLiteral("Rows to export:"),
                                                 choices, state_.cursorB() ? 2 : 0, false, &ok);
    if (!ok)
        return;
    analysis::Span span;
    if (choice == choices.value(1))
        span = state_.span(state_.viewStart(), state_.viewEnd());
    else if (choice == choices.value(2))
        span = state_.span(statisticsSpan().first, statisticsSpan().second);
    else
        span = state_.span(span.from, span.to);
    const std::shared_ptr<const LoadedRecording> recording = state_.recording();
    const QFileInfo source(recording->path);
    const QString path = QFileDialog::getSaveFileName(
        this, title, source.dir().filePath(source.completeBaseName() + QStringLiteral(".xlsx")),
        QStringLiteral("Workbooks (*.xlsx)"));
    if (path.isEmpty())
        return;

    const std::optional<workbook::Written> written = exportWithProgress(
        this, boxes_, path,
        [recording, span, path](const workbook::Options& options, QString* error) {
            return workbook::write({recording->chart->table, recording->details, recording->path},
                                   span, path, options, error);
        });
    if (!written)
        return;
    statusBar()->showMessage(QStringLiteral("%1 rows written to %2.")
                                 .arg(written->rows)
                                 .arg(QDir::toNativeSeparators(path)),
                             8000);
}

}  // namespace ignivex::chart
