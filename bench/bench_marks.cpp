// The review of a recording with a mark on every row: a million rows 10 ms apart, each marked,
// opened in the real review window through the main window, as a user opens it. Measured: the
// file chosen to the first picture (and the window's thread's own CPU time in it), a click on
// the chart to its next picture, the Marks tab raised to its picture, and the memory. It prints;
// it never judges.
#include "BenchSupport.h"

#include "app/ChartWindows.h"
#include "review/ReviewWindow.h"
#include "record/RecordFormat.h"
#include "support/MainHarness.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDockWidget>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimeZone>
#include <ctime>

using namespace ignivex;
using namespace ignivex::bench;

namespace {

void writeMarked(const QString& path, int rows, bool marked) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    record::Details d;
    d.tool = QStringLiteral("Ignivex Log 1.1");
    d.rangeCode = 1;
    d.started = QDateTime(QDate(2026, 12, 8), QTime(14, 0), QTimeZone(3600));
    f.write(record::preamble(d));
    const Instant start(std::chrono::seconds(1));
    QByteArray chunk;
    for (int i = 0; i < rows; ++i) {
        Sample s;
        s.monotonic = start + std::chrono::milliseconds(qint64(i) * 10);
        s.wallClock = d.started.addMSecs(qint64(i) * 10);
        s.rpm = float(900 + i % 5000);
        s.advance = 20;
        s.map = 15;
        s.battery = 13.8f;
        s.gpi3Analog = 2.5f;
        s.gpiBits = 0x04;
        chunk += record::row(s, start, marked ? QStringLiteral("mark %1").arg(i + 1) : QString());
        if (chunk.size() > (1 << 20)) {
            f.write(chunk);
            chunk.clear();
        }
    }
    f.write(chunk);
}

void settle() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = intOption(argc, argv, "--rows", 1000000);
    // --unmarked: the same rows without a mark, for the figures to compare with.
    bool marked = true;
    for (int i = 1; i < argc; ++i)
        marked = marked && qstrcmp(argv[i], "--unmarked") != 0;
    printMachineContext("bench_marks: the review of a recording with a mark on every row");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("marks.csv"));
    auto start = Steady::now();
    writeMarked(file, rows, marked);
    std::printf("  recording : %d rows 10 ms apart, %s, %.1f MB, written in %.0f ms\n", rows,
                marked ? "each marked" : "none marked",
                double(QFileInfo(file).size()) / (1024 * 1024), microsSince(start) / 1000);

    test::IsolatedConfig config;
    test::MainHarness h;
    h.show();
    const long before = statusKb("VmRSS:").value_or(-1);
    start = Steady::now();
    const double cpuBefore = threadCpuMs();
    h.w().charts().openRecording(file);
    chart::ReviewWindow* review = h.w().charts().reviewWindow();
    review->resize(1200, 720);
    while (review->loading() || !review->recording())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    settle();
    review->chart()->repaint();
    const double openMs = microsSince(start) / 1000;
    std::printf("  %-46s %8.0f ms  (the window's thread busy %.0f ms of it)\n",
                "open: file chosen -> first picture", openMs, threadCpuMs() - cpuBefore);

    // Ten clicks across the chart, each to its picture and the tools' following.
    QWidget* strips = review->chart();
    std::vector<double> clicks;
    for (int i = 1; i <= 10; ++i) {
        const QPointF at(strips->width() * (0.2 + 0.06 * i), strips->height() * 0.3);
        start = Steady::now();
        QMouseEvent press(QEvent::MouseButtonPress, at, strips->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, strips->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strips, &press);
        QCoreApplication::sendEvent(strips, &release);
        strips->repaint();
        settle();
        clicks.push_back(microsSince(start) / 1000);
    }
    const Summary click = summarise(clicks);
    std::printf("  %-46s %8.1f ms median, %.1f ms the slowest of 10\n",
                "a click on the chart -> its picture", click.median, click.worst);

    start = Steady::now();
    review->findChild<QDockWidget*>(QStringLiteral("dockMarks"))->raise();
    settle();
    auto* list = review->findChild<QAbstractItemView*>(QStringLiteral("lstMarks"));
    list->repaint();
    settle();
    std::printf("  %-46s %8.0f ms  (%d marks listed)\n", "the Marks tab raised -> its picture",
                microsSince(start) / 1000, list->model()->rowCount());
    std::printf("  %-46s %8ld kB before opening, %ld kB open, %ld kB at the peak\n",
                "resident memory", before, statusKb("VmRSS:").value_or(-1),
                statusKb("VmHWM:").value_or(-1));
    printLoadAtEnd();
    return 0;
}
