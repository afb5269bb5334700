// The strip painter fed rows of arbitrary numbers (huge, tiny, infinite, NaN, equal or far
// apart times) and an arbitrary view, painting into a small picture. A picture that takes
// over a second is a finding, as is any crash.
#include "series/ChartData.h"
#include "strips/StripPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace ignivex;

namespace {
// Eight bytes at a time as a double; the input runs out into zeros.
struct Reader {
    const std::uint8_t* data;
    std::size_t size, at = 0;
    double next() {
        std::uint64_t bits = 0;
        const std::size_t n = std::min<std::size_t>(8, size - std::min(size, at));
        std::memcpy(&bits, data + at, n);
        at += 8;
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    bool more() const { return at < size; }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    chart::ChartScene scene;
    scene.t0 = in.next();
    scene.t1 = in.next();
    scene.timeStyle = (size % 2) ? chart::TimeStyle::TimeOfDay : chart::TimeStyle::Elapsed;
    if (std::isnan(in.next()))
        scene.cursor = in.next();
    // A fixed scale on a strip shared with an input, as a user's drag or wheel may leave it.
    const double low = in.next(), high = in.next();
    scene.strips = chart::Arrangement::fromText(QStringLiteral("rpm+gpi1@%1:%2;advance+map;gpi2")
                                                    .arg(low, 0, 'g', 17)
                                                    .arg(high, 0, 'g', 17));
    record::Table table;
    std::vector<double> times;
    while (in.more() && table.size() < 512) {
        record::Row row;
        const double ms = std::fmod(std::abs(in.next()), 4e12);
        row.time = QDateTime::fromMSecsSinceEpoch(std::isfinite(ms) ? qint64(ms) : 0);
        const double t = in.next();
        // The reader hands on times that are finite and never go back.
        row.elapsed = std::isfinite(t) ? t : 0;
        if (!table.empty())
            row.elapsed = std::max(row.elapsed, table.elapsed.back());
        row.rpm = in.next();
        row.advance = in.next();
        row.map = in.next();
        row.battery = in.next();
        row.gpi3Volts = in.next();
        row.gpi1 = in.next() > 0;
        const double status = std::abs(in.next());
        row.status =
            Sample::End(std::isfinite(status) ? int(std::fmod(status, Sample::kEndCount)) : 0);
        table.append(row);
    }
    const bool indexed = table.size() > 64;
    scene.data = chart::makeChartData(std::move(table), indexed);
    scene.font = QFont(QStringLiteral("Liberation Sans"), 9);
    scene.emptyText = QStringLiteral("no rows");

    QImage image(240, 200, QImage::Format_ARGB32_Premultiplied);
    const auto begin = std::chrono::steady_clock::now();
    {
        QPainter p(&image);
        chart::paintChart(p, QRectF(0, 0, 240, 200), scene);
    }
    if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(1))
        std::abort();
    return 0;
}
