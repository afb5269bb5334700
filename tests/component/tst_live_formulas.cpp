// The live chart's channels by formula and filter over six samples half a second apart, fed in
// two batches with a picture between; every expected value is worked out by hand from them.
#include "app/ChartWindows.h"
#include "acquire/Acquisition.h"
#include "live/LiveChartWindow.h"
#include "base/AppIdentity.h"
#include "support/MainHarness.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::test;

namespace {
const double kNone = -999;  // a row without a value
constexpr float kRpm[] = {1000, 2000, 2000, 3000, 1000, 2000};
constexpr float kAdvance[] = {10, 12, 14, 16, 18, 20};

struct Rig : MainHarness {
    IsolatedConfig config;
    chart::LiveChartWindow* live = nullptr;
    Rig(const QString& strips = {}) {
        QSettings settings = userSettings();
        settings.setValue(QStringLiteral("Charts/Strips"), strips);
        formula::saveFormulas(settings, {{{"drpm", "rate(rpm)", "rpm/s", 0},
                                          {"adv_s", "smooth(advance, 1)", "°", 2},
                                          {"adv_ago", "ago(advance, 1)", "°", 1},
                                          {"adv_d", "rate(adv_s)", "°/s", 1},
                                          {"bad", "nosuch + 1", "", 0}},
                                         {{"fast", "rpm > 1500", 0.5}}});
        showWithHealthyModule();
        w().mnuViewRealTime_Click();
        w().mnuViewChart_Click();
        live = w().charts().chartWindow();
    }
    // The six samples above, or (wave) a drive that swings slowly, a tenth of a second apart.
    void feed(int from, int to, bool wave = false) {
        const double step = wave ? 0.1 : 0.5;
        for (int i = from; i < to; ++i) {
            Sample s;
            s.monotonic = Instant(std::chrono::milliseconds(qint64(i * step * 1000)));
            s.wallClock = QDateTime(QDate(2026, 12, 10), QTime(12, 0)).addMSecs(i * step * 1000);
            s.rpm = wave ? float(std::round(2000 + 1500 * std::sin(i * 0.05))) : kRpm[i];
            s.advance = wave ? float(std::round(15 + 5 * std::sin(i * 0.03))) : kAdvance[i];
            emit w().acquisition().sampleReady(s);
        }
        QTRY_VERIFY(!live->chart()->rendering());
        live->showFrame();
    }
    QList<double> column(const char* name) {
        const auto& t = live->chart()->data()->table;
        QList<double> out;
        if (const auto id = t.channelNamed(QString::fromLatin1(name)))
            for (float v : t.column(*id))
                out << (std::isnan(v) ? kNone : v);
        return out;
    }
    void chooseFilter(int index) {
        live->filterBox()->setCurrentIndex(index);
        emit live->filterBox()->activated(index);
    }
};
}  // namespace

class TestLiveFormulas : public QObject {
    Q_OBJECT
private slots:
    void channelValues_data();
    void channelValues();
    void filterShadesAndSettingsAreFollowed();
    void catchingUpIsBounded();
    void picture();
};

void TestLiveFormulas::channelValues_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<double>>("expected");
    using L = QList<double>;
    QTest::newRow("rate: none on the first row") << "drpm" << L{kNone, 2000, 0, 2000, -4000, 2000};
    QTest::newRow("smooth over (t - 1 s, t]") << "adv_s" << L{10, 11, 13, 15, 17, 19};
    QTest::newRow("ago: the row 1 s back, or none") << "adv_ago" << L{kNone, kNone, 10, 12, 14, 16};
    QTest::newRow("rate of a smooth, across batches") << "adv_d" << L{kNone, 2, 4, 4, 4, 4};
}

void TestLiveFormulas::channelValues() {
    QFETCH(QString, name);
    QFETCH(QList<double>, expected);
    Rig rig;
    rig.feed(0, 2);
    rig.feed(2, 6);
    QCOMPARE(rig.column(name.toLatin1().constData()), expected);
}

void TestLiveFormulas::filterShadesAndSettingsAreFollowed() {
    Rig rig;
    QVERIFY(rig.live->formulaNote()->text().contains(QLatin1String("bad: There is no channel")));
    QCOMPARE(rig.live->filterBox()->count(), 2);
    rig.chooseFilter(1);
    rig.feed(0, 2);
    rig.feed(2, 6);
    QVERIFY(rig.column("bad").empty());
    // rpm > 1500 from 0.5 s (passing once settled, at 1.0 s), off at 2.0 s, on again at 2.5 s.
    const auto out = rig.live->chart()->scene().leftOut;
    QVERIFY(out);
    QList<double> edges;
    for (const chart::Gap& g : *out)
        edges << g.from << g.to;
    QCOMPARE(edges, (QList<double>{0, 1.0, 2.0, 2.5}));
    // Kept again without the filter and with one channel: the window follows once shown again.
    QSettings settings = userSettings();
    formula::saveFormulas(settings, {{{"drpm", "rate(rpm)", "rpm/s", 0}}, {}});
    rig.live->readFormulas();
    QTRY_VERIFY(!rig.live->chart()->rendering());
    rig.live->showFrame();
    QVERIFY(rig.column("adv_s").empty() && rig.column("drpm").size() == 6);
    QVERIFY(!rig.live->chart()->scene().leftOut);
    QVERIFY(rig.live->formulaNote()->text().isEmpty());
}

// Worked out after a long time unseen, only the last ten minutes get values.
void TestLiveFormulas::catchingUpIsBounded() {
    chart::LiveSeries series;
    series.setChannels({{"twice", "2 * rpm", "", 0}});
    Sample s;
    for (int i = 0; i <= 700; ++i) {
        s.monotonic = Instant(std::chrono::seconds(i));
        s.rpm = float(i);
        series.append(s);
    }
    const auto data = series.snapshot(0);
    const auto& twice = data->table.column(*data->table.channelNamed(u"twice"));
    QVERIFY(std::isnan(twice[99]));  // 601 s behind the newest row
    QCOMPARE(twice[100], 200.0f);
    QCOMPARE(twice[700], 1400.0f);
}

void TestLiveFormulas::picture() {
    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("Set IGNIVEX_SCREENSHOT_DIR to save the picture.");
    Rig rig(QStringLiteral("rpm;drpm;advance+adv_s"));
    rig.live->resize(1000, 620);
    rig.chooseFilter(1);
    rig.live->setSpan(20);
    rig.feed(0, 200, true);
    QTRY_VERIFY(rig.live->chart()->picturesPainted() > 0 && !rig.live->chart()->rendering());
    QVERIFY(rig.live->grab().save(dir + "/live-formula.png"));
}

QTEST_MAIN(TestLiveFormulas)
#include "tst_live_formulas.moc"
