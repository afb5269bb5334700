// Channels by formula and filters, over tests/fixtures/formula/steps.csv: six rows half a second
// apart but for a gap of 2 s after 1.5 s; rpm is empty at 1.5 s and gpi3_v at 1.0 s. Every
// expected value was worked out by hand from those rows.
#include "formula/FormulaChannels.h"
#include "record/RecordingReader.h"

#include <QtTest>
#include <cmath>

using namespace ignivex;
using Values = QList<double>;
Q_DECLARE_METATYPE(Values)

namespace {

constexpr double E = std::numeric_limits<double>::quiet_NaN();  // an empty cell

record::Table steps() {
    return record::readRecording(QStringLiteral(IGNIVEX_FIXTURES "/formula/steps.csv"))
        .recording->table;
}

QString shown(const std::vector<double>& v) {
    QStringList cells;
    for (double x : v)
        cells << (std::isnan(x) ? QStringLiteral("-") : QString::number(x, 'g', 10));
    return cells.join(u' ');
}

}  // namespace

class TestFormula : public QObject {
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void problems_data();
    void problems();
    void channels_data();
    void channels();
    void filter_data();
    void filter();
    void longWords_data();
    void longWords();
};

void TestFormula::values_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<Values>("expected");
    QTest::newRow("rate: empty on the first row and beside an empty value")
        << "rate(rpm)" << Values{E, 400, 800, E, E, 800};
    QTest::newRow("rate across the gap") << "rate(advance)" << Values{E, 4, 4, 4, 2, 8};
    QTest::newRow("smooth over (t - 1, t], of the values there") << "smooth(rpm, 1)"
                                            << Values{1000, 1100, 1400, 1600, 2000, 2200};
    QTest::newRow("smooth longer than the recording")
        << "smooth(rpm, 100)" << Values{1000, 1100, 3800.0 / 3, 3800.0 / 3, 1450, 1640};
    QTest::newRow("ago: none that early, then an empty row")
        << "ago(rpm, 0.5)" << Values{E, 1000, 1200, 1600, E, 2000};
    QTest::newRow("ago longer than the recording") << "ago(map, 100)" << Values{E, E, E, E, E, E};
    QTest::newRow("ago 0 is the row itself") << "ago(map, 0)" << Values{20, 22, 24, 26, 30, 40};
    QTest::newRow("as the file wrote it") << "battery_v * 10 - 100"
                                          << Values{25, 20, 18, 16, 22, 24};
    QTest::newRow("division by zero is empty") << "rpm / (gpi2 * advance)" << Values{E, E, E, E, E, E};
    QTest::newRow("past a float's range is empty")
        << "map * 1e37" << Values{2e38, 2.2e38, 2.4e38, 2.6e38, 3e38, E};
    QTest::newRow("an empty input empties a choice")
        << "gpi1 ? 1 : gpi3_v" << Values{1, 1, E, 1, 2, 1};
    QTest::newRow("time itself") << "elapsed_s > 1 && map < 35" << Values{0, 0, 0, 1, 1, 0};
    QTest::newRow("a constant on every row") << "2 * 3" << Values{6, 6, 6, 6, 6, 6};
    QTest::newRow("muParser's functions") << "max(abs(map - 25), 3)" << Values{5, 3, 3, 3, 5, 15};
}

void TestFormula::values() {
    QFETCH(QString, formula);
    QFETCH(Values, expected);
    const record::Table table = steps();
    formula::Problem problem;
    const auto f = formula::Formula::read(formula, formula::channelNames(table), &problem);
    QVERIFY2(f, qPrintable(problem.message));
    const std::vector<double> got = formula::evaluate(*f, table);
    QCOMPARE(shown(got), shown(std::vector<double>(expected.begin(), expected.end())));
}

void TestFormula::problems_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("position");
    QTest::newRow("ends too soon") << "rpm +" << "The formula ends too soon" << 5;
    QTest::newRow("two operators") << "rpm * / 2" << "“/” comes too soon" << 6;
    QTest::newRow("two values") << "rpm map" << "“map” follows a value" << 4;
    QTest::newRow("bracket left open") << "(rpm + 1" << "A bracket is not closed" << 8;
    QTest::newRow("after a time call") << "rate(rpm) +* 2" << "“*” comes too soon" << 11;
    QTest::newRow("unknown channel") << "rmp + 1" << "There is no channel “rmp”" << 0;
    QTest::newRow("unknown function") << "2 * foo(rpm)" << "There is no function “foo”" << 4;
    QTest::newRow("time call of a formula") << "rate(rpm * 2)" << "rate takes a channel's name" << 9;
    QTest::newRow("smooth without seconds") << "smooth(rpm)" << "smooth takes a channel's name, then seconds" << 10;
    QTest::newRow("smooth over no time") << "smooth(rpm, 0)" << "smooth's seconds are a number above 0" << 12;
    QTest::newRow("assignment") << "rpm = 3" << "to compare, write “==”" << 4;
    QTest::newRow("two results") << "rpm, map" << "A formula gives one value" << 3;
    QTest::newRow("not ASCII") << "rpm × 2" << "“×” is not part of a formula" << 4;
    QTest::newRow("too deep") << QString(201, u'(') + "1" + QString(201, u')')
                              << "nested more than 200 deep" << 200;
    QTest::newRow("a megabyte") << QString(1 << 20, u'1') << "at most 10000 characters" << -1;
    QTest::newRow("empty") << "" << "The formula is empty" << -1;
}

void TestFormula::problems() {
    QFETCH(QString, formula);
    QFETCH(QString, message);
    QFETCH(int, position);
    formula::Problem problem;
    QVERIFY(!formula::Formula::read(formula, formula::channelNames(steps()), &problem));
    QVERIFY2(problem.message.contains(message), qPrintable(problem.message));
    if (position >= 0)
        QCOMPARE(problem.position, position);
}

using Definitions = std::vector<formula::Definition>;
Q_DECLARE_METATYPE(Definitions)

void TestFormula::channels_data() {
    QTest::addColumn<Definitions>("definitions");
    QTest::addColumn<QString>("expected");  // the last channel's values, or the problem
    QTest::newRow("one reads another, each as written")
        << Definitions{{"twice", "krpm * 2", "", 1}, {"krpm", "rpm / 1000 + 0.00049", "", 3}}
        << "2 2.4 3.2 - 4 4.8";
    QTest::newRow("a channel clashes with the module's")
        << Definitions{{"rpm", "map", "", 1}} << "rpm: “rpm” is a channel of the recording already";
    QTest::newRow("a function's name") << Definitions{{"sqrt", "map", "", 1}}
                                       << "sqrt: “sqrt” is the name of a function";
    QTest::newRow("twice the same name") << Definitions{{"x", "map", "", 1}, {"x", "rpm", "", 1}}
                                         << "x: Two channels are named “x”";
    QTest::newRow("itself") << Definitions{{"c", "c + 1", "", 1}} << "c: “c” depends on itself: c → c";
    QTest::newRow("through another")
        << Definitions{{"ok", "map", "", 0}, {"a", "b + 1", "", 1}, {"b", "rate(a)", "", 1}}
        << "a: “a” depends on itself: a → b → a";
    QTest::newRow("a bad formula is named")
        << Definitions{{"p", "map +", "", 1}} << "p: The formula ends too soon";
}

void TestFormula::channels() {
    QFETCH(Definitions, definitions);
    QFETCH(QString, expected);
    record::Table table = steps();
    const int before = table.channelCount();
    const auto problem = formula::addChannels(table, definitions);
    if (problem) {
        QVERIFY2(problem->startsWith(expected), qPrintable(*problem));
        QCOMPARE(table.channelCount(), before);
        return;
    }
    QCOMPARE(table.channelCount(), before + int(definitions.size()));
    QCOMPARE(shown(formula::writtenValues(table, definitions.front().name)), expected);
}

// A message quotes what the user wrote, but never all of ten thousand characters of it.
void TestFormula::longWords_data() {
    QTest::addColumn<Definitions>("definitions");
    QTest::addColumn<QString>("start");
    const QString huge(5000, u'q');
    QTest::newRow("a name far too long")
        << Definitions{{huge, "map", "", 1}} << QString(63, u'q') + "…: A channel's name is";
    QTest::newRow("an unknown channel")
        << Definitions{{"a", huge + " + 1", "", 1}} << "a: There is no channel “qqq";
    QTest::newRow("an unknown function")
        << Definitions{{"a", huge + "(map)", "", 1}} << "a: There is no function “qqq";
    QTest::newRow("an unknown channel in a time call")
        << Definitions{{"a", "rate(" + huge + ")", "", 1}} << "a: There is no channel “qqq";
    // Forty channels of the longest names, each reading the next, the last the first.
    Definitions loop, many;
    const auto name = [](int k) {
        return QStringLiteral("n%1").arg(k % 40, 2, 10, QChar(u'0')) + QString(61, u'x');
    };
    for (int i = 0; i < 40; ++i) {
        loop.push_back({name(i), name(i + 1) + " + 1", "", 1});
        many.push_back({name(i), "map", "", 1});
    }
    QTest::newRow("a long loop") << loop << name(0) + ": “n00";
    many.push_back({"last", "nothing + 1", "", 1});
    QTest::newRow("many channels to list") << many << "last: There is no channel “nothing”";
}

void TestFormula::longWords() {
    QFETCH(Definitions, definitions);
    QFETCH(QString, start);
    record::Table table = steps();
    const auto problem = formula::addChannels(table, definitions);
    QVERIFY(problem);
    QVERIFY2(problem->startsWith(start), qPrintable(problem->left(200)));
    QVERIFY2(problem->size() <= 400 && problem->contains(u'…'), qPrintable(*problem));
}

void TestFormula::filter_data() {
    QTest::addColumn<QString>("condition");
    QTest::addColumn<double>("settle");
    QTest::addColumn<QString>("passing");
    QTest::newRow("no settle time") << "gpi1 == 1" << 0.0 << "011101";
    QTest::newRow("half a second after each change") << "gpi1 == 1" << 0.5 << "001100";
    QTest::newRow("an empty input fails and starts again") << "gpi3_v > 1.5" << 1.0 << "000011";
    QTest::newRow("no row passes") << "gpi1 == 1" << 60.0 << "000000";
}

void TestFormula::filter() {
    QFETCH(QString, condition);
    QFETCH(double, settle);
    QFETCH(QString, passing);
    formula::Problem problem;
    const auto rows = formula::rowsPassing(steps(), {"f", condition, settle}, &problem);
    QVERIFY2(rows, qPrintable(problem.message));
    QString got;
    for (auto r : *rows)
        got += r ? u'1' : u'0';
    QCOMPARE(got, passing);
}

QTEST_APPLESS_MAIN(TestFormula)
#include "tst_formula.moc"
