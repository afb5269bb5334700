// View, Channels by Formula... and the Filter box of the review, over
// tests/fixtures/analysis/pull.csv (eight rows half a second apart; gpi1 is 0,1,1,1,0,1,1,0).
// With IGNIVEX_SCREENSHOT_DIR set, the dialog showing a problem and the review showing a
// channel by formula and a filter's shading are saved there.
#include "app/ChartWindows.h"
#include "review/FormulaDialog.h"
#include "review/FormulaTools.h"
#include "review/HistogramWindow.h"
#include "review/MapTableWindow.h"
#include "review/SpanChoice.h"
#include "review/ReviewTools.h"
#include "review/ReviewWindow.h"
#include "review/StudyTools.h"
#include "base/AppIdentity.h"
#include "support/IsolatedConfig.h"
#include "support/MainHarness.h"
#include "support/ScriptedBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonObject>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QtTest>

using namespace ignivex;
using namespace ignivex::chart;
using namespace ignivex::test;

namespace {
const QString kPull = QStringLiteral(IGNIVEX_FIXTURES "/analysis/pull.csv");
}

class TestFormulaTools : public QObject {
    Q_OBJECT
private slots:
    void dialogShowsTheProblem_data();
    void dialogShowsTheProblem();
    void appliedToTheReview();
    void studySavedAndOpened();
};

void TestFormulaTools::dialogShowsTheProblem_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("shown");  // a piece of the problem line, or "" for none
    QTest::newRow("sound") << "advance - 0.5 * map" << "";
    QTest::newRow("two operators") << "advance - * map" << "comes too soon: a value, a channel, "
                                                          "a function or “(” was expected (at "
                                                          "character 11)";
    QTest::newRow("reads itself") << "adv_net + 1" << "“adv_net” depends on itself";
    QTest::newRow("unknown name") << "advance - boost" << "There is no channel “boost”";
}

void TestFormulaTools::dialogShowsTheProblem() {
    QFETCH(QString, formula);
    QFETCH(QString, shown);
    ScriptedBoxes boxes;
    FormulaDialog dialog(boxes);
    formula::Formulas f;
    f.channels = {{"adv_net", formula, "\u00b0", 1}};
    dialog.setFormulas(f, record::Table());
    auto* label = dialog.findChild<QLabel*>("lblProblem");
    QCOMPARE(dialog.problems().value(0).isEmpty(), shown.isEmpty());
    if (!shown.isEmpty())
        QVERIFY2(label->text().contains(shown.toHtmlEscaped()), qPrintable(label->text()));
    // Apply hands on only what is sound.
    QSignalSpy applied(&dialog, &FormulaDialog::applied);
    boxes.answer({box::Ok});
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply)->click();
    QCOMPARE(applied.count(), shown.isEmpty() ? 1 : 0);
    QCOMPARE(boxes.shown.size(), shown.isEmpty() ? 0 : 1);
}

void TestFormulaTools::appliedToTheReview() {
    IsolatedConfig config;
    MainHarness h;
    h.show();
    h.w().charts().openRecording(kPull);
    ReviewWindow& review = *h.w().charts().reviewWindow();
    QTRY_VERIFY_WITH_TIMEOUT(review.recording() != nullptr, 10000);
    auto* tools = review.findChild<FormulaTools*>();
    formula::Formulas f;
    f.channels = {{"adv_net", "advance - 0.5 * map", "\u00b0", 1}};
    f.filters = {{"on", "gpi1 == 1", 0.5}};
    f.mapUnit = formula::MapUnit::Kpa;
    QVERIFY(tools->apply(f));
    // MAP is labelled with the range pull.csv names and the unit it is said to be in.
    QCOMPARE(review.chart()->scene().mapRange, QStringLiteral("0 to 90 kPa"));
    const auto net = review.recording()->chart->table.channelNamed(u"adv_net");
    QVERIFY(net);
    // 10 - 0.5 x 20 on the first row; 30 - 0.5 x 50 at 2.0 s.
    QCOMPARE(review.recording()->chart->table.column(*net)[0], 0.0f);
    QCOMPARE(review.recording()->chart->table.column(*net)[4], 5.0f);
    // Chosen in the box: the rows at 1.0, 1.5 and 3.0 s pass, the rest is shaded.
    QComboBox* box = tools->filterBox();
    QCOMPARE(box->count(), 2);
    box->setCurrentIndex(1);
    emit box->activated(1);
    QCOMPARE(review.state().activeFilterName(), QString("on"));
    QStringList out;
    for (const Gap& g : review.state().leftOut())
        out << QString("%1-%2").arg(g.from).arg(g.to);
    QCOMPARE(out, QStringList({"0-1", "2-3", "3.5-3.5"}));
    // Kept in the settings for the next start.
    QSettings settings = userSettings();
    QCOMPARE(formula::loadFormulas(settings), f);

    const QString shots = qEnvironmentVariable("IGNIVEX_SCREENSHOT_DIR");
    if (shots.isEmpty())
        return;
    review.resize(1200, 760);
    QVERIFY(review.grab().save(shots + "/review-formula-filter.png"));
    tools->openDialog();
    FormulaDialog* dialog = tools->dialog();
    auto* table = dialog->findChild<QTableWidget*>("tblFormulas");
    table->item(0, 1)->setText("advance - * map");
    table->setCurrentCell(0, 1);
    QVERIFY(dialog->grab().save(shots + "/formula-editor.png"));
}

void TestFormulaTools::studySavedAndOpened() {
    IsolatedConfig config;
    MainHarness h;
    h.show();
    h.w().charts().openRecording(kPull);
    ReviewWindow& review = *h.w().charts().reviewWindow();
    QTRY_VERIFY_WITH_TIMEOUT(review.recording() != nullptr, 10000);
    for (int i = 0; i < 3; ++i) {
        review.openOverlay(i == 1 ? QStringLiteral(IGNIVEX_FIXTURES "/recordings/marked.csv") : kPull);
        QTRY_COMPARE_WITH_TIMEOUT(review.state().overlayCount(), i + 1, 10000);
    }
    formula::Formulas f;
    f.channels = {{"adv_net", "advance - 0.5 * map", "\u00b0", 1}};
    f.filters = {{"on", "gpi1 == 1", 0.5}};
    QVERIFY(review.findChild<FormulaTools*>()->apply(f));
    ReviewState& state = review.state();
    state.setFilters(state.filters(), 0);
    state.setOverlayShift(0, 1.5);
    state.setOverlayShift(2, -0.25);
    state.setView(0.5, 2.5);
    state.setCursor(1.0);
    state.setCursorB(2.0);
    // The tool windows' choices come back with them.
    auto* tools = review.findChild<ReviewTools*>();
    tools->openHistogram();
    tools->histogramWindow()->setChannel(state.recording()->chart->table.channelNamed(u"adv_net").value());
    tools->histogramWindow()->spanChoice()->setBetween(0.5, 3.0);
    tools->openMapTable();
    tools->mapTableWindow()->setExtra(MapTableWindow::Deviation);
    tools->mapTableWindow()->setMinSamples(2);
    tools->mapTableWindow()->swapAxes();
    tools->mapTableWindow()->setDifferenceOf(2);
    tools->mapTableWindow()->findChild<QCheckBox*>("chkDifference")->setChecked(true);
    auto* studies = review.findChild<StudyTools*>();
    const Study saved = *studies->current();
    QTemporaryDir dir;
    const QString path = dir.filePath("pull.study.json");
    QVERIFY(studies->save(path));
    // Under Wine the settings are the registry every test shares: the newest comes first.
    QCOMPARE(StudyTools::recentStudies().value(0), path);

    QCOMPARE(saved.overlays.size(), std::size_t(3));
    QCOMPARE(saved.windowChoices.value("histogram").toObject().value("of").toString(), "adv_net");
    review.closeOverlays();
    tools->histogramWindow()->setChannel(0);
    tools->mapTableWindow()->setMinSamples(1);
    tools->mapTableWindow()->swapAxes();
    state.setFilters(state.filters(), -1);
    state.setCursorB(std::nullopt);
    QSignalSpy opened(studies, &StudyTools::opened);
    studies->open(path);
    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 10000);
    QCOMPARE(*studies->current(), saved);

    // What is wrong with a file is said; the review stays as it was.
    QFile bad(dir.filePath("bad.study.json"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(R"({"kind": "Ignivex Log study", "version": 1, "recording": "pull.csv",
                 "view_s": [0], "cursor_s": 0})");
    bad.close();
    ScriptedBoxes* boxes = &h.boxes;
    const auto before = boxes->count();
    studies->open(bad.fileName());
    QCOMPARE(boxes->count(), before + 1);
    QVERIFY2(boxes->shown.last().text.contains("its view or cursors are not numbers of seconds"),
             qPrintable(boxes->shown.last().text));
    QCOMPARE(*studies->current(), saved);
}

QTEST_MAIN(TestFormulaTools)
#include "tst_formula_tools.moc"
