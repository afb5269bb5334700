// The team library against a real PostgreSQL server the test starts itself: runs published
// with their rows (once, twice, in overlapping pieces, by two writers at once), the server
// stopped in the middle, a role that may only read, schemas it must leave alone, and the map
// table and statistics the server works out over a tag, set beside the same figures worked
// out here from the files.
#include <QtTest>

#ifndef Q_OS_WIN
#include "analysis/MapTable.h"
#include "analysis/Statistics.h"
#include "catalog/RunIndex.h"
#include "catalog/RunSet.h"
#include "catalog/SqliteRunStore.h"
#include "library/LibraryWindow.h"
#include "support/ScriptedBoxes.h"
#include "support/PgTestServer.h"
#include "team/AcrossTeamRuns.h"
#include "team/Connection.h"
#include "team/TeamStore.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <future>

using namespace ignivex;

namespace {

// A pull of `rows` rows at 20 a second from `seed`: speed and pressure wander over the map
// (some values right on its edges), a tick in 17 ends badly, one in 23 has no advance, and
// at row 300 the logger stood for 4 s.
QByteArray runText(const QString& id, int rows, quint32 seed, const QString& day) {
    QByteArray out = "# recording: Ignivex Log 1.1\n# id: " + id.toUtf8() +
                     "\n# firmware: IGX-2 V1.10\n# map range: 3 (0 to 90)\n# started: " +
                     day.toUtf8() + "T10:00:00.000+01:00\n"
                     "time,elapsed_s,rpm,advance,map,battery_v,gpi3_v,gpi1,gpi2,gpi3,status,mark\n";
    const QDateTime start = QDateTime::fromString(day + "T10:00:00.000+01:00", Qt::ISODateWithMs);
    quint32 x = seed;
    auto next = [&x] { return (x = x * 1664525u + 1013904223u) >> 8; };
    qint64 ms = 0;
    for (int i = 0; i < rows; ++i) {
        ms += i == 300 ? 4000 : 50 + int(next() % 3);
        const double rpm = (next() % 800) * 10.0;      // 0 .. 7990, on the 500s often
        const double map = (next() % 95) * 1.0;        // 0 .. 94, past the last edge too
        const double advance = (next() % 40000) / 1000.0;
        const bool badTick = next() % 17 == 0;
        const bool noAdvance = next() % 23 == 0;
        out += start.addMSecs(ms).toString(Qt::ISODateWithMs).toUtf8() + ',' +
               QByteArray::number(ms / 1000.0, 'f', 3) + ',' + QByteArray::number(rpm, 'f', 1) +
               ',' + (noAdvance ? QByteArray() : QByteArray::number(advance, 'f', 3)) + ',' +
               QByteArray::number(map, 'f', 1) + ",13.500,2.000,1,0,0," +
               (badTick ? "link-lost" : "ok") + ",\n";
    }
    return out;
}

QString writeRun(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return {};
    return path;
}

QList<QByteArray> dataLines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    while (!lines.isEmpty() && !lines.first().startsWith("time,"))
        lines.removeFirst();
    lines.removeFirst();
    lines.removeAll(QByteArray());
    return lines;
}

QByteArray topOf(const QByteArray& text) {
    return text.left(text.indexOf("\ntime,") + 1) +
           text.mid(text.indexOf("\ntime,") + 1).split('\n').first() + '\n';
}

}  // namespace

class TstTeamStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void publishedRowsAreKeptOnce_data();
    void publishedRowsAreKeptOnce();
    void twoWritersAtOnceMakeOneRun();
    void serverStoppedMidRun();
    void readOnlyRoleIsToldSo();
    void schemasNotOursAreLeftAlone_data();
    void schemasNotOursAreLeftAlone();
    void figuresOverATagMatchTheFiles();
    void commandsAnswerAsForLocalFiles_data();
    void commandsAnswerAsForLocalFiles();
    void windowPublishesTheLibrary_data();
    void windowPublishesTheLibrary();

private:
    qint64 rowsOnServer(const QString& id) {
        return server_.sql(QStringLiteral("SELECT count(*) FROM ignivex.run_rows r JOIN "
                                          "ignivex.runs u USING (run_key) WHERE u.id = '%1'")
                               .arg(id),
                           QStringLiteral("tuning"))
            .toLongLong();
    }
    std::unique_ptr<team::TeamStore> open(const QString& user = QStringLiteral("ana")) {
        QString why;
        auto store = team::TeamStore::open(server_.url(user, QStringLiteral("tuning")), &why);
        if (!store)
            qWarning("%s", qPrintable(why));
        return store;
    }

    PgTestServer server_;
    QTemporaryDir dir_;
};

void TstTeamStore::initTestCase() {
    QVERIFY2(server_.setUp(), qPrintable(server_.error()));
    // The roles a team's keeper makes, before the library is first opened by the owner.
    QVERIFY2(!server_.sql(QStringLiteral("CREATE ROLE ignivex_writer; CREATE ROLE ignivex_reader"))
                  .isNull(),
             qPrintable(server_.error()));
    QVERIFY2(!server_.sql(QStringLiteral("CREATE DATABASE tuning")).isNull(),
             qPrintable(server_.error()));
    QVERIFY(server_.addRole(QStringLiteral("ana"), QStringLiteral("IN ROLE ignivex_writer")));
    QVERIFY(server_.addRole(QStringLiteral("ben"), QStringLiteral("IN ROLE ignivex_reader")));
    QString why;
    QVERIFY2(team::TeamStore::open(server_.url(QStringLiteral("ignivex_admin"),
                                               QStringLiteral("tuning")),
                                   &why),
             qPrintable(why));
}

void TstTeamStore::publishedRowsAreKeptOnce_data() {
    QTest::addColumn<QList<int>>("pieces");  // first row of each piece sent, in order
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("whole, once") << QList<int>{0} << QList<int>{500};
    QTest::newRow("whole, twice") << QList<int>{0, 0} << QList<int>{500, 500};
    QTest::newRow("overlapping pieces") << QList<int>{0, 100, 250} << QList<int>{150, 200, 250};
    QTest::newRow("a piece again after the rest") << QList<int>{0, 200, 50}
                                                  << QList<int>{200, 300, 10};
}

void TstTeamStore::publishedRowsAreKeptOnce() {
    QFETCH(QList<int>, pieces);
    QFETCH(QList<int>, sizes);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray text = runText(id, 500, 7, QStringLiteral("2026-12-01"));
    const QString path = writeRun(dir_, id + ".csv", text);
    const QList<QByteArray> lines = dataLines(text);
    auto store = open();
    QVERIFY(store);
    QString why;
    QVERIFY2(store->beginRun(id, topOf(text), path, &why), qPrintable(why));
    for (qsizetype i = 0; i < pieces.size(); ++i)
        QVERIFY2(store->sendRows(id, pieces[i], lines.mid(pieces[i], sizes[i]), &why),
                 qPrintable(why));
    QCOMPARE(rowsOnServer(id), 500);
    QCOMPARE(*store->rowsHeld(id, &why), 500);
    // The file comes back from the server byte for byte.
    QCOMPARE(*store->recordingText(id, &why), text);
    // Every row but the last knows how long it stood, whatever the pieces were.
    QCOMPARE(server_.sql(QStringLiteral("SELECT count(*) FROM ignivex.run_rows JOIN ignivex.runs "
                                        "USING (run_key) WHERE id = '%1' AND dt IS NULL")
                             .arg(id),
                         QStringLiteral("tuning")),
             QStringLiteral("1"));
}

void TstTeamStore::twoWritersAtOnceMakeOneRun() {
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString path = writeRun(dir_, "both.csv", runText(id, 3000, 11, "2026-12-02"));
    const catalog::IndexOutcome indexed = catalog::indexFile(path);
    QVERIFY(indexed.run);
    // Two PCs (two connections) publishing the same file at the same moment.
    auto publish = [this, &indexed] {
        auto store = open();
        QString why;
        return store && store->publishRecording(*indexed.run, &why) ? QString() : why;
    };
    std::future<QString> a = std::async(std::launch::async, publish);
    std::future<QString> b = std::async(std::launch::async, publish);
    QCOMPARE(a.get(), QString());
    QCOMPARE(b.get(), QString());
    QCOMPARE(rowsOnServer(id), 3000);
    QCOMPARE(server_.sql(QStringLiteral("SELECT count(*) FROM ignivex.runs WHERE id = '%1' AND whole")
                             .arg(id),
                         QStringLiteral("tuning")),
             QStringLiteral("1"));
}

void TstTeamStore::serverStoppedMidRun() {
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray text = runText(id, 400, 3, QStringLiteral("2026-12-03"));
    const QList<QByteArray> lines = dataLines(text);
    auto store = open();
    QVERIFY(store);
    QString why;
    QVERIFY(store->beginRun(id, topOf(text), dir_.filePath("stopped.csv"), &why));
    QVERIFY(store->sendRows(id, 0, lines.mid(0, 150), &why));
    QVERIFY2(server_.stop(), qPrintable(server_.error()));
    QVERIFY(!store->sendRows(id, 150, lines.mid(150, 100), &why));
    QVERIFY(store->lostConnection());
    QVERIFY2(why.contains(QLatin1String("went away")) && why.contains(QLatin1String("Nothing was lost")),
             qPrintable(why));
    bool reached = true;
    QVERIFY(!team::TeamStore::open(server_.url(QStringLiteral("ana"), QStringLiteral("tuning")), &why, &reached));
    QVERIFY2(why.contains(QLatin1String("cannot be reached")) && !reached, qPrintable(why));
    QVERIFY2(server_.start(), qPrintable(server_.error()));
    store = open();
    QVERIFY(store);
    QCOMPARE(*store->rowsHeld(id, &why), 150);
    QVERIFY(store->sendRows(id, 150, lines.mid(150), &why));
    QCOMPARE(rowsOnServer(id), 400);
    QCOMPARE(*store->recordingText(id, &why), text);
}

void TstTeamStore::readOnlyRoleIsToldSo() {
    auto reader = open(QStringLiteral("ben"));
    QVERIFY(reader);
    QString why;
    QVERIFY2(reader->find({}, &why), qPrintable(why));
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QVERIFY(!reader->beginRun(id, "time,elapsed_s\n", dir_.filePath("r.csv"), &why));
    QVERIFY(!reader->lostConnection());
    QVERIFY2(why.contains(QLatin1String("The role ben may only read")) &&
                 why.contains(QLatin1String("ignivex_writer")),
             qPrintable(why));
    QVERIFY(!reader->addTags(QStringLiteral("no-such-run"), {QStringLiteral("x")}, &why));
}

void TstTeamStore::schemasNotOursAreLeftAlone_data() {
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("told");
    QTest::newRow("newer version")
        << QStringLiteral("CREATE SCHEMA ignivex; CREATE TABLE ignivex.library_schema (name "
                          "text, version integer); INSERT INTO ignivex.library_schema VALUES "
                          "('ignivex-log team runs', 2)")
        << QStringLiteral("made by a newer version of Ignivex Log (library version 2");
    QTest::newRow("another program's schema")
        << QStringLiteral("CREATE SCHEMA ignivex; CREATE TABLE ignivex.runs (x integer)")
        << QStringLiteral("that is not a team library");
    QTest::newRow("version missing")
        << QStringLiteral("CREATE SCHEMA ignivex; CREATE TABLE ignivex.library_schema (name "
                          "text, version integer)")
        << QStringLiteral("is damaged (its version is missing)");
}

void TstTeamStore::schemasNotOursAreLeftAlone() {
    QFETCH(QString, setUp);
    QFETCH(QString, told);
    const QString db = QStringLiteral("other%1").arg(QTest::currentDataTag()[0] == 'n' ? 1 : QTest::currentDataTag()[0] == 'a' ? 2 : 3);
    QVERIFY(!server_.sql(QStringLiteral("CREATE DATABASE %1").arg(db)).isNull());
    QVERIFY(!server_.sql(setUp, db).isNull());
    const QString before = server_.sql(
        QStringLiteral("SELECT string_agg(tablename, ',' ORDER BY tablename) FROM pg_tables WHERE "
                       "schemaname = 'ignivex'"),
        db);
    QString why;
    bool reached = false;
    QVERIFY(!team::TeamStore::open(server_.url(QStringLiteral("ignivex_admin"), db), &why, &reached));
    QVERIFY2(why.contains(told) && reached, qPrintable(why));
    QCOMPARE(server_.sql(QStringLiteral("SELECT string_agg(tablename, ',' ORDER BY tablename) "
                                        "FROM pg_tables WHERE schemaname = 'ignivex'"),
                         db),
             before);
}

void TstTeamStore::figuresOverATagMatchTheFiles() {
    auto store = open();
    QVERIFY(store);
    QStringList paths;
    for (int i = 0; i < 3; ++i) {
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        paths << writeRun(dir_, QStringLiteral("tagged%1.csv").arg(i),
                          runText(id, 2000 + 500 * i, 100 + i, QStringLiteral("2026-12-0%1").arg(4 + i)));
        catalog::IndexOutcome indexed = catalog::indexFile(paths.last());
        QVERIFY(indexed.run);
        indexed.run->tags = {QStringLiteral("car12")};
        QString why;
        QVERIFY2(store->publishRecording(*indexed.run, &why), qPrintable(why));
    }
    QString why;
    const auto local = catalog::combinedRecording(paths, &why);
    QVERIFY(local);
    const auto shape = team::shapeOfTag(*store, QStringLiteral("car12"), &why);
    QVERIFY2(shape, qPrintable(why));
    QCOMPARE(shape->table.size(), std::size_t(0));
    QCOMPARE(shape->table.channelCount(), local->table.channelCount());

    analysis::MapRequest request;
    request.rowEdges = {0, 500, 1000, 2500, 4000, 7000};
    request.columnEdges = analysis::defaultMapEdges(3);
    const analysis::MapTable here = analysis::mapTable(local->table, request, {});
    const auto there = team::mapTableOfTag(*store, QStringLiteral("car12"), shape->table, request, &why);
    QVERIFY2(there, qPrintable(why));
    QVERIFY(here.cells.size() > 20);
    QCOMPARE(there->cells.size(), here.cells.size());
    for (std::size_t i = 0; i < here.cells.size(); ++i) {
        const analysis::MapCell &a = here.cells[i], &b = there->cells[i];
        QCOMPARE(b.rpmBin, a.rpmBin);
        QCOMPARE(b.mapBin, a.mapBin);
        QCOMPARE(b.samples, a.samples);
        QCOMPARE(b.min, a.min);
        QCOMPARE(b.max, a.max);
        QVERIFY(qAbs(b.mean - a.mean) < 1e-9);
        QVERIFY(qAbs(b.sd - a.sd) < 1e-9);
        QVERIFY2(qAbs(b.seconds - a.seconds) < 1e-9,
                 qPrintable(QStringLiteral("%1 vs %2").arg(b.seconds).arg(a.seconds)));
    }

    const analysis::Statistics hereStats = analysis::statistics(local->table, {});
    const auto thereStats = team::statisticsOfTag(*store, QStringLiteral("car12"), shape->table, &why);
    QVERIFY2(thereStats, qPrintable(why));
    QCOMPARE(thereStats->size(), hereStats.size());
    for (std::size_t c = 0; c < hereStats.size(); ++c) {
        QCOMPARE((*thereStats)[c].samples, hereStats[c].samples);
        QCOMPARE((*thereStats)[c].min, hereStats[c].min);
        QCOMPARE((*thereStats)[c].max, hereStats[c].max);
        QVERIFY(qAbs((*thereStats)[c].mean - hereStats[c].mean) < 1e-9);
    }
    // Read back whole from the server, the runs are the files.
    const auto fetched = team::fetchTag(*store, QStringLiteral("car12"), &why);
    QVERIFY2(fetched, qPrintable(why));
    QCOMPARE(fetched->table.size(), local->table.size());
    QCOMPARE(fetched->table.elapsed, local->table.elapsed);
}

void TstTeamStore::commandsAnswerAsForLocalFiles_data() {
    QTest::addColumn<QStringList>("command");
    QTest::newRow("statistics") << QStringList{"--stats"};
    QTest::newRow("map table") << QStringList{"--table"};
    QTest::newRow("map table of battery, few samples left out")
        << QStringList{"--table", "--of", "battery_v", "--rpm-edges", "0,3000,8000",
                       "--min-samples", "40"};
    QTest::newRow("map table over a formula's channel")
        << QStringList{"--table", "--channel", "load=map*rpm/1000", "--of", "load"};
    QTest::newRow("statistics of a span") << QStringList{"--stats", "--from", "10", "--to", "60"};
    QTest::newRow("histogram") << QStringList{"--histogram", "--of", "advance"};
}

void TstTeamStore::commandsAnswerAsForLocalFiles() {
    QFETCH(QStringList, command);
    static QString folder;
    if (folder.isEmpty()) {
        // The same two files in a local library and, published by the command line, on the
        // team's: tagged alike, so each command is asked of both.
        folder = dir_.filePath("cli");
        QDir().mkpath(folder);
        for (int i = 0; i < 2; ++i)
            QVERIFY(!writeRun(dir_, QStringLiteral("cli/run%1.csv").arg(i),
                              runText(QUuid::createUuid().toString(QUuid::WithoutBraces), 1500,
                                      40 + i, QStringLiteral("2026-11-2%1").arg(i)))
                         .isEmpty());
    }
    auto run = [](const QStringList& arguments, QString* err) {
        QProcess app;
        app.start(QStringLiteral(IGNIVEX_APP), arguments);
        app.waitForFinished(60000);
        *err = QString::fromUtf8(app.readAllStandardError());
        return app.exitCode() == 0 ? QString::fromUtf8(app.readAllStandardOutput()) : QString();
    };
    const QString url = server_.url(QStringLiteral("ana"), QStringLiteral("tuning"));
    const QString local = dir_.filePath("cli.sqlite");
    QString err;
    for (const QString& place : {url, local})
        QVERIFY2(!run({"--library-add", folder, "--tag", "bench2", "--library", place}, &err)
                      .isEmpty(),
                 qPrintable(err));
    if (QTest::currentDataTag() == QLatin1String("statistics")) {
        // A run opened on a PC that never had it: its file comes back byte for byte.
        const QString id = run({"--library-list", "--tag", "bench2", "--library", url}, &err)
                               .split('\n').value(1).section(',', 0, 0);
        const QString out = dir_.filePath("fetched.csv");
        run({"--library-get", id, "--out", out, "--library", url}, &err);
        QVERIFY2(err.contains("wrote the run " + id), qPrintable(err));
        QFile fetched(out), original(server_.sql(QStringLiteral("SELECT path FROM ignivex.runs "
                                                                  "WHERE id = '%1'").arg(id),
                                                   QStringLiteral("tuning")));
        QVERIFY(fetched.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QCOMPARE(fetched.readAll(), original.readAll());
        run({"--library-get", id, "--out", out, "--library", url}, &err);
        QVERIFY2(err.contains("exists already"), qPrintable(err));
    }
    const QStringList asked = QStringList{command.first(), "--tag", "bench2"} + command.mid(1);
    const QString there = run(asked + QStringList{"--library", url}, &err);
    QVERIFY2(!there.isEmpty(), qPrintable(err));
    const QString here = run(asked + QStringList{"--library", local}, &err);
    QVERIFY2(here.count('\n') > 3, qPrintable(err));
    QCOMPARE(there, here);
}

void TstTeamStore::windowPublishesTheLibrary_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("told");
    QTest::addColumn<int>("onServer");
    QTest::newRow("a writer") << "ana" << "2 run(s) sent to the team library" << 2;
    QTest::newRow("again: nothing twice") << "ana" << "the team library has it already" << 2;
    QTest::newRow("a role that may only read") << "ben" << "The role ben may only read" << 0;
}

void TstTeamStore::windowPublishesTheLibrary() {
    QFETCH(QString, user);
    QFETCH(QString, told);
    QFETCH(int, onServer);
    static QTemporaryDir folder;
    static QStringList ids;
    // The writer's runs twice; the reader's runs of its own, so the server has none of them.
    if (ids.isEmpty() || user == u"ben") {
        ids.clear();
        for (int i = 0; i < 2; ++i) {
            ids << QUuid::createUuid().toString(QUuid::WithoutBraces);
            QVERIFY(!writeRun(folder, ids.last() + ".csv", runText(ids.last(), 800, 60 + i, "2026-10-01"))
                         .isEmpty());
        }
    }
    QString why;
    auto local = catalog::SqliteRunStore::open(folder.filePath("lib.sqlite"), &why);
    QVERIFY(local);
    for (const QString& file : QDir(folder.path()).entryList({"*.csv"})) {
        const auto indexed = catalog::indexFile(folder.filePath(file));
        QVERIFY(indexed.run && local->add(*indexed.run, &why));
    }
    test::ScriptedBoxes boxes;
    library::LibraryWindow window(local.get(), {}, boxes);
    const QString url = server_.url(user, QStringLiteral("tuning"));
    window.setAskText([&](const QString&, const QString&, const QString&) { return url; });
    QSignalSpy done(&window, &library::LibraryWindow::publishingFinished);
    QList<catalog::RunEntry> runs;
    for (const QString& id : ids)
        runs << *local->run(id, &why);
    window.publish(runs);
    QVERIFY(done.wait(60000));
    QVERIFY2(window.publishedReport().contains(told), qPrintable(window.publishedReport()));
    QCOMPARE(boxes.count(), 1);
    int held = 0;
    for (const QString& id : ids)
        held += rowsOnServer(id) == 800 ? 1 : 0;
    QCOMPARE(held, onServer);
    // The address is remembered, never with a password.
    QCOMPARE(QSettings().value("Library/TeamLibrary").toString(), url);
}

QTEST_MAIN(TstTeamStore)
#else
// The test's server is Linux's; the Windows build is checked against it from Linux.
class TstTeamStore : public QObject {
    Q_OBJECT
private slots:
    void skipped() { QSKIP("the test server runs on Linux"); }
};
QTEST_MAIN(TstTeamStore)
#endif
#include "tst_team_store.moc"
