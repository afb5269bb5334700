// Figures for the charts: opening a one-hour recording at the fastest rate and panning over it,
// drawn by the strips painted with QPainter and by Qt Charts (all points, and points reduced to
// the view), each in a process of its own so that its peak memory is its own; the XY plot and
// the map table counted over the whole recording; and the live chart's CPU share with ticks
// back to back against the simulator. It prints; it never judges.
#include "BenchRecording.h"
#include "BenchSupport.h"

#include "acquire/Acquisition.h"
#include "analysis/MapTable.h"
#include "app/ChartWindows.h"
#include "base/AppIdentity.h"
#include "formula/FormulaStore.h"
#include "live/LiveChartWindow.h"
#include "series/RecordingLoader.h"
#include "strips/StripChart.h"
#include "series/XyGrid.h"
#include "review/XyPlotWindow.h"
#include "record/RecordFormat.h"
#include "record/RecordingReader.h"
#include "support/SimRigs.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>
#include <ctime>

#ifdef IGNIVEX_HAVE_QTCHARTS
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#endif

using namespace ignivex;
using namespace ignivex::bench;
using chart::ChartData;

namespace {

constexpr double kRowsPerSecond = 82.4;  // ticks back to back at 56000 bit/s
constexpr int kWidth = 1200, kHeight = 760;
constexpr double kPanSpan = 360;  // a six-minute view
constexpr double kPanStepPx = 20;

long rssKb() {
    return statusKb("VmRSS:").value_or(-1);
}

// An hour of an engine doing a pull a minute, with a few ticks cut short by Esc and a gap of
// three seconds, as a recording at the fastest rate writes it.
void writeHour(const QString& path, double seconds) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    const record::Details d = fastRecordingDetails();
    f.write(record::preamble(d));
    const Instant start(std::chrono::seconds(1));
    const auto rows = qint64(seconds * kRowsPerSecond);
    QByteArray block;
    for (qint64 i = 0; i < rows; ++i) {
        double t = double(i) / kRowsPerSecond;
        if (t > 1800)
            t += 3;  // the gap
        const double phase = std::fmod(t, 60.0);
        const double pull = phase < 10 ? 0 : phase < 20 ? (phase - 10) / 10 : phase < 25 ? 1 : 0.3;
        Sample s;
        s.monotonic = start + std::chrono::microseconds(qint64(t * 1e6));
        s.wallClock = d.started.addMSecs(qint64(t * 1000));
        s.gpiBits = std::int16_t(((i / 250) % 2 ? 0x04 : 0) | ((i / 330) % 2 ? 0x08 : 0) |
                                 (pull > 0.5 ? 0x10 : 0));
        s.gpi3Analog = float(2.5 + 2 * std::sin(t / 7));
        s.map = float(8 + 20 * pull + std::sin(t * 3) * 0.3);
        s.battery = float(13.8 - 0.4 * pull);
        s.rpm = float(850 + 5700 * pull + 15 * std::sin(t * 11));
        s.advance = float(12 + 14 * pull);
        s.end = i % 30011 == 7 ? Sample::End::Escape : Sample::End::Complete;
        block += record::row(s, start);
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
}

// Shown and exposed, so that a repaint paints at once.
void showExposed(QWidget& w) {
    w.show();
    const auto start = Steady::now();
    while ((!w.windowHandle() || !w.windowHandle()->isExposed()) && microsSince(start) < 5e6)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

struct Frames {
    std::vector<double> ms;
    void print(const char* what) const {
        const Summary s = summarise(std::vector<double>(ms));
        std::printf("  %-44s median %7.2f  p90 %7.2f  worst %7.2f ms  (%zu frames)\n", what,
                    s.median / 1000, s.p90 / 1000, s.worst / 1000, s.count);
    }
};

// Times `frames` synchronous repaints of `widget` after `move(frame)` changed the view.
template <typename Move>
Frames timeFrames(QWidget& widget, int frames, Move move) {
    Frames f;
    for (int i = 0; i < frames; ++i) {
        const auto start = Steady::now();
        move(i);
        widget.repaint();
        f.ms.push_back(microsSince(start));
    }
    return f;
}

void printMemory(long before) {
    std::printf("  %-44s %7ld kB before opening, %ld kB after, peak (VmHWM) %ld kB\n",
                "resident memory", before, rssKb(), statusKb("VmHWM:").value_or(-1));
}

std::shared_ptr<const ChartData> readDirect(const QString& path, double& readMs, double& indexMs) {
    auto start = Steady::now();
    record::ReadResult r = record::readRecording(path);
    readMs = microsSince(start) / 1000;
    if (!r.recording) {
        std::fprintf(stderr, "bench_chart: %s\n", qPrintable(r.error));
        std::exit(1);
    }
    start = Steady::now();
    auto data = chart::makeChartData(std::move(r.recording->table), true);
    indexMs = microsSince(start) / 1000;
    return data;
}

int runPainter(const QString& path) {
    std::printf("\nStrips painted with QPainter (chart::StripChart), %dx%d\n", kWidth, kHeight);
    const long before = rssKb();
    // Opened as the review opens it: the worker thread, then the first picture.
    const auto start = Steady::now();
    chart::RecordingLoader loader;
    std::shared_ptr<const chart::LoadedRecording> rec;
    QEventLoop loop;
    QObject::connect(&loader, &chart::RecordingLoader::loaded, [&](auto r) {
        rec = r;
        loop.quit();
    });
    QObject::connect(&loader, &chart::RecordingLoader::failed, [&](const QString& e) {
        std::fprintf(stderr, "bench_chart: %s\n", qPrintable(e));
        std::exit(1);
    });
    loader.start(path);
    loop.exec();
    const double loadedMs = microsSince(start) / 1000;
    chart::StripChart strips;
    strips.resize(kWidth, kHeight);
    const ChartData& data = *rec->chart;
    strips.setDataAndView(rec->chart, data.start(), data.end());
    showExposed(strips);
    strips.repaint();
    const double shownMs = microsSince(start) / 1000;
    std::printf("  %-44s %7.0f ms  (rows read and indexed in the worker: %.0f ms)\n",
                "open: file chosen -> first picture", shownMs, loadedMs);
    std::printf("  %-44s %zu rows, %zu marks, %zu gaps\n", "recording", data.table.size(),
                data.marks.size(), data.gaps.size());
    // The same file read by pandas, where it is installed, as a yardstick for the reading.
    QProcess pandas;
    pandas.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, time, pandas\n"
                                 "t = time.monotonic(); pandas.read_csv(sys.argv[1], comment='#')\n"
                                 "print((time.monotonic() - t) * 1000)"),
                  path});
    if (pandas.waitForFinished(-1) && pandas.exitCode() == 0) {
        const double pandasMs = pandas.readAllStandardOutput().trimmed().toDouble();
        std::printf("  %-44s %7.0f ms  (the reading here: %.2f times that)\n",
                    "pandas.read_csv(comment=\"#\"), same file", pandasMs, loadedMs / pandasMs);
    } else {
        std::printf("  %-44s not installed\n", "pandas");
    }

    const double wholeSpan = data.end() - data.start();
    timeFrames(strips, 50, [&](int i) {
        strips.setView(data.start() + i * 0.001, data.end());
    }).print("frame, whole recording in view");
    const double perPx = kPanSpan / (kWidth * 0.85);
    timeFrames(strips, 200, [&](int i) {
        const double t0 = 600 + i * kPanStepPx * perPx;
        strips.setView(t0, t0 + kPanSpan);
    }).print("frame while panning a 6-minute view");
    timeFrames(strips, 200, [&](int i) {
        const double t0 = 1790 + i * 0.05;
        strips.setView(t0, t0 + 10);
    }).print("frame while panning a 10-second view");
    (void)wholeSpan;
    std::printf("  %-44s %d\n", "pictures painted", strips.picturesPainted());
    printMemory(before);
    return 0;
}

// The two figures over the whole recording: advance against rpm coloured by MAP, and the map
// table of advance over rpm and MAP on the default edges. Each counted several times on this
// thread (the computing the windows hand to a worker), then the XY plot once as the window
// draws it, from the choice to the picture shown.
int runAnalysis(const QString& path) {
    std::printf("\nXY plot and map table of the whole recording\n");
    double readMs = 0, indexMs = 0;
    const auto data = readDirect(path, readMs, indexMs);
    const record::Table& t = data->table;
    std::printf("  %-44s %zu rows (read in %.0f ms, indexed in %.0f ms)\n", "recording", t.size(),
                readMs, indexMs);
    constexpr int kRuns = 5;
    auto timed = [](const char* what, auto compute) {
        std::vector<double> us;
        for (int i = 0; i < kRuns; ++i) {
            const auto start = Steady::now();
            compute();
            us.push_back(microsSince(start));
        }
        const Summary s = summarise(std::move(us));
        std::printf("  %-44s best %7.1f  median %7.1f  worst %7.1f ms  (%d runs)\n", what,
                    s.best / 1000, s.median / 1000, s.worst / 1000, kRuns);
    };
    const analysis::Span whole;
    qint64 points = 0;
    timed("XY: advance against rpm, coloured by MAP", [&] {
        chart::XyRequest r;
        r.x = record::channelOf(Value::Rpm);
        r.y = record::channelOf(Value::Advance);
        r.colour = record::channelOf(Value::Map);
        r.width = 720;
        r.height = 480;
        const chart::SpanExtent ex = chart::extentOf(t, r.x, whole);
        const chart::SpanExtent ey = chart::extentOf(t, r.y, whole);
        r.xRange = {ex.min, ex.max};
        r.yRange = {ey.min, ey.max};
        points = chart::binXy(t, r).points;
    });
    std::size_t cells = 0;
    timed("map table: advance over rpm x MAP", [&] {
        cells = analysis::mapTable(t, Value::Advance, analysis::defaultRpmEdges(),
                                   analysis::defaultMapEdges(), whole)
                    .cells.size();
    });
    std::printf("  %-44s %lld points plotted, %zu cells with samples\n", "counted", points, cells);

    chart::XyPlot plot;
    plot.resize(820, 600);
    showExposed(plot);
    chart::XyChoice choice;
    choice.data = data;
    QEventLoop loop;
    QObject::connect(&plot, &chart::XyPlot::drawn, &loop, &QEventLoop::quit);
    const auto start = Steady::now();
    plot.setChoice(choice);
    loop.exec();
    plot.repaint();
    std::printf("  %-44s %7.0f ms  (of which 60 ms the wait that gathers a burst of choices)\n",
                "XY plot window: choice -> picture shown", microsSince(start) / 1000);
    return 0;
}

#ifdef IGNIVEX_HAVE_QTCHARTS
struct QtChartsStrips {
    QWidget container;
    std::vector<QChart*> charts;
    std::vector<QLineSeries*> series;
    std::vector<QValueAxis*> xAxes;

    QtChartsStrips() {
        auto* layout = new QVBoxLayout(&container);
        layout->setSpacing(0);
        layout->setContentsMargins(0, 0, 0, 0);
        for (int s = 0; s < kValueCount; ++s) {
            auto* chart = new QChart;
            chart->legend()->hide();
            chart->setMargins(QMargins(2, 2, 2, 2));
            auto* line = new QLineSeries;
            chart->addSeries(line);
            auto* x = new QValueAxis;
            auto* y = new QValueAxis;
            chart->addAxis(x, Qt::AlignBottom);
            chart->addAxis(y, Qt::AlignLeft);
            line->attachAxis(x);
            line->attachAxis(y);
            auto* view = new QChartView(chart);
            view->setRenderHint(QPainter::Antialiasing);
            layout->addWidget(view, record::Table().channel(s).onOff() ? 1 : 3);
            charts.push_back(chart);
            series.push_back(line);
            xAxes.push_back(x);
            y->setRange(s == 0 ? 0 : -1, s == 0 ? 7000 : 40);
        }
        container.resize(kWidth, kHeight);
    }
    void setRange(double t0, double t1) {
        for (QValueAxis* x : xAxes)
            x->setRange(t0, t1);
    }
};

int runQtCharts(const QString& path, bool reduced) {
    std::printf("\nQt Charts %s, 8 QChartViews, %dx%d\n",
                reduced ? "fed the min/max of each pixel column of the view" : "with every point",
                kWidth, kHeight);
    const long before = rssKb();
    const auto start = Steady::now();
    double readMs = 0, indexMs = 0;
    const auto data = readDirect(path, readMs, indexMs);
    QtChartsStrips strips;
    const record::Table& t = data->table;
    auto feed = [&](double t0, double t1) {
        for (int s = 0; s < kValueCount; ++s) {
            const auto& values = t.column(s);
            QList<QPointF> points;
            if (!reduced) {
                points.reserve(qsizetype(t.size()));
                for (std::size_t i = 0; i < t.size(); ++i) {
                    if (!std::isnan(values[i]))
                        points.append(QPointF(t.elapsed[i], values[i]));
                }
            } else {
                const int columns = kWidth - 60;
                const auto cols = chart::reduce(t.elapsed, values, data->index(s),
                                                t0, t1, columns);
                points.reserve(columns * 2);
                for (int c = 0; c < columns; ++c) {
                    const auto& col = cols[std::size_t(c)];
                    if (col.extent.empty())
                        continue;
                    const double x = t0 + (c + 0.5) * (t1 - t0) / columns;
                    points.append(QPointF(x, col.extent.min));
                    points.append(QPointF(x, col.extent.max));
                }
            }
            strips.series[std::size_t(s)]->replace(points);
        }
        strips.setRange(t0, t1);
    };
    feed(data->start(), data->end());
    showExposed(strips.container);
    strips.container.repaint();
    const double shownMs = microsSince(start) / 1000;
    std::printf("  %-44s %7.0f ms  (read %.0f ms on this thread%s)\n",
                "open: file chosen -> first picture", shownMs, readMs,
                reduced ? ", indexes included" : "");

    const double perPx = kPanSpan / (kWidth * 0.85);
    auto pan = [&](double span, double step, int frames, const char* what) {
        timeFrames(strips.container, frames, [&](int i) {
            const double t0 = 600 + i * step;
            if (reduced)
                feed(t0, t0 + span);
            else
                strips.setRange(t0, t0 + span);
        }).print(what);
    };
    timeFrames(strips.container, reduced ? 50 : 5, [&](int i) {
        if (reduced)
            feed(data->start() + i * 0.001, data->end());
        else
            strips.setRange(data->start() + i * 0.001, data->end());
    }).print("frame, whole recording in view");
    pan(kPanSpan, kPanStepPx * perPx, reduced ? 200 : 20, "frame while panning a 6-minute view");
    pan(10, 0.05, 200, "frame while panning a 10-second view");
    printMemory(before);
    return 0;
}
#endif

// The channels by formula and the filter of the live runs that have them: each kind of function
// over time, one reading another, and a filter that settles.
formula::Formulas liveFormulas() {
    return {{{"rpm_s", "rate(rpm)", "rpm/s", 0},
             {"adv_avg", "smooth(advance, 0.5)", "\u00b0", 2},
             {"rpm_ago", "rpm - ago(rpm, 2)", "rpm", 0},
             {"map_kpa", "map * 6.895", "kPa", 1}},
            {{"cruise", "rpm > 1000 && abs(rpm_s) < 500", 1.0}}};
}

// The GUI thread's cost of one frame of a ten-minute view full at the fastest rate: a frame's
// rows (33 ms of them) joined, then the snapshot of the view and the stretches left out, as
// LiveChartWindow::showFrame takes them; without and with the channels by formula.
void liveFrameCost() {
    std::printf("\nLive chart, one frame's snapshot of 10 full minutes (%.1f rows a second, "
                "%d ms a frame)\n",
                kRowsPerSecond, chart::LiveChartWindow::kFrameMs);
    std::printf("  %-36s %14s %14s %10s\n", "", "new rows, us", "snapshot, us", "max, us");
    for (const bool formulas : {false, true}) {
        chart::LiveSeries series;
        if (formulas) {
            series.setChannels(liveFormulas().channels);
            series.setFilter(liveFormulas().filters.front());
        }
        Sample s;
        int i = 0;
        auto add = [&](int rows) {
            for (int end = i + rows; i < end; ++i) {
                s.monotonic = Instant(std::chrono::microseconds(qint64(i * 1e6 / kRowsPerSecond)));
                s.rpm = float(900 + i % 500);
                s.advance = float(10 + i % 7);
                s.map = 10;
                series.append(s);
            }
        };
        add(int(600 * kRowsPerSecond));
        series.snapshot(0);
        const int perFrame =
            int(std::lround(kRowsPerSecond * chart::LiveChartWindow::kFrameMs / 1000));
        double worked = 0, shown = 0, most = 0;
        const int frames = 300;
        for (int f = 0; f < frames; ++f) {
            add(perFrame);
            const double from = series.latest() - 600;
            const auto start = Steady::now();
            // The stretches left out first: they work out the new rows, which the snapshot
            // then finds done.
            auto out = series.leftOut(from);
            const auto between = Steady::now();
            auto data = series.snapshot(from);
            const double a = microsSince(start, between), b = microsSince(between);
            worked += a;
            shown += b;
            most = std::max(most, a + b);
        }
        std::printf("  %-36s %14.0f %14.0f %10.0f\n",
                    formulas ? "4 channels by formula and a filter" : "the module's channels only",
                    worked / frames, shown / frames, most);
        if (formulas) {
            // What each frame would cost if the rows in view were worked out again instead.
            const int again = 20;
            const auto start = Steady::now();
            for (int f = 0; f < again; ++f) {
                record::Table rows = series.table().slice(0);
                formula::addChannels(rows, liveFormulas().channels);
                formula::rowsPassing(rows, liveFormulas().filters.front(), nullptr);
            }
            std::printf("  %-36s %14.0f\n", "  the same, 10 min worked out again",
                        microsSince(start) / again);
        }
    }
}

// The live chart at the fastest rate: ticks back to back against the paced simulator, with
// the chart closed, open on its default minute, and open on ten minutes already full (also
// with channels by formula and a filter).
int runLive(int seconds) {
    liveFrameCost();
    using test::AppRig;
    AppRig app(QStringLiteral(IGNIVEX_SIM), 1,
               {QStringLiteral("--engine"), QStringLiteral("--paced")},
               QCoreApplication::applicationDirPath());
    if (!app.sim.ok()) {
        std::fprintf(stderr, "bench_chart: the simulator did not start\n");
        return 1;
    }
    app.window.Show();
    app.window.tmrDataRead()->stop();
    app.window.mnuViewRealTime_Click();
    if (!app.state.viewActive || app.boxes.count() != 0) {
        std::fprintf(stderr, "bench_chart: the view did not open cleanly\n");
        return 1;
    }
    std::printf(
        "\nLive chart, ticks back to back (tmrDataRead_Timer in a loop), paced simulator, "
        "%d s a run\n",
        seconds);
    std::printf("  %-30s %9s %9s %11s %11s %9s\n", "", "ticks/s", "CPU %", "GUI thr. %",
                "pictures/s", "RSS kB");
    auto run = [&](const char* label, double span, bool open, bool prefill) {
        chart::LiveChartWindow* live = nullptr;
        if (open) {
            app.window.mnuViewChart_Click();
            live = app.window.charts().chartWindow();
            live->resize(960, 640);
            live->setSpan(span);
            if (prefill) {
                // Ten minutes already there, as after a long run.
                Sample s;
                const Instant now = app.clock.now();
                for (int i = 0; i < int(600 * kRowsPerSecond); ++i) {
                    s.monotonic = now - std::chrono::milliseconds(600000) +
                                  std::chrono::microseconds(qint64(i * 1e6 / kRowsPerSecond));
                    s.wallClock = QDateTime::currentDateTime();
                    s.rpm = float(900 + i % 500);
                    s.advance = 10;
                    s.battery = 13.8f;
                    s.gpi3Analog = 2.5f;
                    s.map = 10;
                    s.gpiBits = 0x04;
                    // The acquisition's own path into the series (no recording runs here).
                    emit app.window.acquisition().sampleReady(s);
                }
            }
        }
        app.control(QStringLiteral("stats reset"));
        const int painted0 = live ? live->chart()->picturesPainted() : 0;
        const CpuTimes cpu0 = cpuTimes();
        const double gui0 = threadCpuMs();
        const auto start = Steady::now();
        while (microsSince(start) < seconds * 1e6) {
            app.window.acquisition().tmrDataRead_Timer();
            QCoreApplication::processEvents();
        }
        const double wallMs = microsSince(start) / 1000;
        const double cpuMs = cpuTimes().total() - cpu0.total();
        const double guiMs = threadCpuMs() - gui0;
        const QString stats = app.sim.command(QStringLiteral("stats"));
        const double ticks = stats.section(' ', 1, 1).mid(6).toDouble() / 5;
        const int painted = live ? live->chart()->picturesPainted() - painted0 : 0;
        std::printf("  %-30s %9.1f %9.1f %11.1f %11.1f %9ld\n", label, ticks * 1000 / wallMs,
                    100 * cpuMs / wallMs, 100 * guiMs / wallMs, painted * 1000 / wallMs, rssKb());
        std::fflush(stdout);
        if (live)
            live->close();
    };
    run("chart closed", 60, false, false);
    run("chart open, last minute", 60, true, false);
    run("chart open, 10 min full", 600, true, true);
    {
        QSettings settings = userSettings();
        formula::saveFormulas(settings, liveFormulas());
    }
    run("10 min full, formulas, filter", 600, true, true);
    std::printf(
        "  CPU %%: the whole process (all threads) over wall time; GUI thr. %%: the thread "
        "that polls; the rest is the chart's painting thread\n");
    std::printf("  message boxes: %d; view still open: %s\n", app.boxes.count(),
                app.state.viewActive ? "yes" : "no");
    return 0;
}

QString option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return {};
}

}  // namespace

// The recording exported for a spreadsheet as the command line does it (Ignivex_Log --xlsx), in
// a process of its own: its time and its own peak memory.
int runWorkbook(const QString& file) {
    const QString out = file + QStringLiteral(".xlsx");
    QFile::remove(out);
    QProcess child;
    const auto start = Steady::now();
    child.start(QStringLiteral(IGNIVEX_APP),
                {QStringLiteral("--xlsx"), file, QStringLiteral("--out"), out});
    child.waitForFinished(-1);
    const double ms = microsSince(start) / 1000;
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("\nExport for a spreadsheet (Ignivex_Log --xlsx, constant-memory workbook)\n");
    std::printf("  exit status %d, %.1f MB written in %.0f ms, peak resident set %ld kB\n",
                child.exitCode(), double(QFileInfo(out).size()) / (1024 * 1024), ms,
                usage.ru_maxrss);
    QFile::remove(out);
    return child.exitCode();
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: bench_chart [--minutes N] [--live-seconds N] [--variants LIST]\n"
                "  --minutes N       length of the generated recording (default 60)\n"
                "  --live-seconds N  length of each live chart run (default 20)\n"
                "  --variants LIST   some of "
                "painter,analysis,qtcharts,qtcharts-reduced,live,workbook\n");
            return 0;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString variant = option(argc, argv, "--variant");
    if (!variant.isEmpty()) {
        QApplication qtApp(argc, argv);
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        if (variant == QLatin1String("painter"))
            return runPainter(option(argc, argv, "--file"));
        if (variant == QLatin1String("analysis"))
            return runAnalysis(option(argc, argv, "--file"));
#ifdef IGNIVEX_HAVE_QTCHARTS
        if (variant == QLatin1String("qtcharts"))
            return runQtCharts(option(argc, argv, "--file"), false);
        if (variant == QLatin1String("qtcharts-reduced"))
            return runQtCharts(option(argc, argv, "--file"), true);
#endif
        if (variant == QLatin1String("live"))
            return runLive(intOption(argc, argv, "--live-seconds", 20));
        if (variant == QLatin1String("workbook"))
            return runWorkbook(option(argc, argv, "--file"));
        return 2;
    }

    QCoreApplication core(argc, argv);
    printMachineContext("bench_chart: opening, panning and live drawing of the chart windows");
    const int minutes = intOption(argc, argv, "--minutes", 60);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hour.csv"));
    const auto start = Steady::now();
    writeHour(file, minutes * 60.0);
    std::printf("  recording : %d min at %.1f rows a second, %.1f MB, written in %.0f ms\n",
                minutes, kRowsPerSecond, double(QFileInfo(file).size()) / (1024 * 1024),
                microsSince(start) / 1000);
    std::fflush(stdout);
    QStringList variants = {QStringLiteral("painter"), QStringLiteral("analysis")};
#ifdef IGNIVEX_HAVE_QTCHARTS
    variants << QStringLiteral("qtcharts") << QStringLiteral("qtcharts-reduced");
#else
    std::printf("  (built without Qt Charts: qt6-charts-dev was not found)\n");
#endif
    variants << QStringLiteral("live") << QStringLiteral("workbook");
    const QString only = option(argc, argv, "--variants");
    if (!only.isEmpty())
        variants = only.split(QLatin1Char(','));
    for (const QString& v : variants) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList args = {QStringLiteral("--variant"), v, QStringLiteral("--file"), file};
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        child.start(QCoreApplication::applicationFilePath(), args);
        child.waitForFinished(-1);
        if (child.exitCode() != 0)
            std::printf("  (%s ended with status %d)\n", qPrintable(v), child.exitCode());
    }
    printLoadAtEnd();
    return 0;
}
