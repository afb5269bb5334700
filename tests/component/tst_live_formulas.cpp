// The live chart computes the channels by formula kept in the settings as samples arrive, with
// the rows before the new ones that rate, smooth and ago read, and shades what a filter leaves
// out. Six samples half a second apart, in two batches with a picture between them; every
// expected value below is worked out by hand from these samples.
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
const double kNaN = std::numeric_limits<double>::quiet_NaN();
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
        settings.sync();
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
    std::vector<float> column(const char* name) {
        const auto& t = live->chart()->data()->table;
        const auto id = t.channelNamed(QString::fromLatin1(name));
        return id ? t.column(*id) : std::vector<float>();
    }
};
}  // namespace

class TestLiveFormulas : public QObject {
    Q_OBJECT
private slots:
    void channelValues_data();
    void channelValues();
    void filterShadesAndSettingsAreFollowed();
    void picture();
};

void TestLiveFormulas::channelValues_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("rate: none on the first row") << "drpm" << QList<double>{kNaN, 2000, 0, 2000, -4000, 2000};
    QTest::newRow("smooth over (t - 1 s, t]") << "adv_s" << QList<double>{10, 11, 13, 15, 17, 19};
    QTest::newRow("ago: the row 1 s back or none") << "adv_ago" << QList<double>{kNaN, kNaN, 10, 12, 14, 16};
    QTest::newRow("rate of a smooth, across batches") << "adv_d" << QList<double>{kNaN, 2, 4, 4, 4, 4};
}

void TestLiveFormulas::channelValues() {
    QFETCH(QString, name);
    QFETCH(QList<double>, expected);
    Rig rig;
    rig.feed(0, 2);
    rig.feed(2, 6);
    const std::vector<float> values = rig.column(name.toLatin1().constData());
    QCOMPARE(values.size(), std::size_t(expected.size()));
    for (int i = 0; i < expected.size(); ++i) {
        if (std::isnan(expected[i]))
            QVERIFY2(std::isnan(values[std::size_t(i)]), qPrintable(QString::number(i)));
        else
            QCOMPARE(double(values[std::size_t(i)]), expected[i]);
    }
}

void TestLiveFormulas::filterShadesAndSettingsAreFollowed() {
    Rig rig;
    QVERIFY(rig.live->formulaNote()->text().contains(QLatin1String("bad: There is no channel")));
    QCOMPARE(rig.live->filterBox()->count(), 2);
    rig.live->filterBox()->setCurrentIndex(1);
    emit rig.live->filterBox()->activated(1);
    rig.feed(0, 2);
    rig.feed(2, 6);
    QVERIFY(rig.column("bad").empty());
    // rpm > 1500 from 0.5 s (passing once settled, at 1.0 s), off at 2.0 s, on again at 2.5 s.
    const auto out = rig.live->chart()->scene().leftOut;
    QVERIFY(out);
    QCOMPARE(out->size(), std::size_t(2));
    QCOMPARE((*out)[0].from, 0.0);
    QCOMPARE((*out)[0].to, 1.0);
    QCOMPARE((*out)[1].from, 2.0);
    QCOMPARE((*out)[1].to, 2.5);
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

void TestLiveFormulas::picture() {
    const QString dir = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("Set IGNIVEX_SCREENSHOT_DIR to save the picture.");
    Rig rig(QStringLiteral("rpm;drpm;advance+adv_s"));
    rig.live->resize(1000, 620);
    rig.live->filterBox()->setCurrentIndex(1);
    emit rig.live->filterBox()->activated(1);
    rig.live->setSpan(20);
    rig.feed(0, 200, true);
    QTRY_VERIFY(rig.live->chart()->picturesPainted() > 0 && !rig.live->chart()->rendering());
    QVERIFY(rig.live->grab().save(dir + "/live-formula.png"));
}

QTEST_MAIN(TestLiveFormulas)
#include "tst_live_formulas.moc"
