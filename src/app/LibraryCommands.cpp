#include "app/LibraryCommands.h"

#include "app/CommandLine.h"
#include "base/AppIdentity.h"
#include "base/MessageText.h"
#include "catalog/LibraryPlace.h"
#include "catalog/FolderScan.h"
#include "catalog/RunIndex.h"
#include "team/StorePlace.h"
#include "team/TeamStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace ignivex::library_commands {

namespace {

using namespace command_line;

const QStringList kCommands = {QStringLiteral("--library-add"), QStringLiteral("--library-get"),
                               QStringLiteral("--library-list"),
                               QStringLiteral("--library-tag")};

void print(FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
}

int usage(const QString& program, const QString& error) {
    print(stderr, QStringLiteral("%1: %2\n%3Try %1 --help for more.\n")
                      .arg(program, error, usageLines(program)));
    return kBadArguments;
}

int failure(const QString& program, const QString& error) {
    print(stderr, QStringLiteral("%1: %2\n").arg(program, error));
    return kFailed;
}

QString fileText(const QString& path) {
    return csvCell(QDir::toNativeSeparators(path));
}

struct Arguments {
    QString command;
    QStringList values;  // the paths of an add; the id and tags of a tag
    QStringList tags;    // each --tag
    QString place;       // --library
    QString out;         // --out
    QString error;
};

Arguments parseArguments(const QStringList& arguments) {
    Arguments a;
    a.command = arguments.value(0);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool takesTag = a.command != u"--library-tag";
        if (arg == u"--library" || (arg == u"--tag" && takesTag) ||
            (arg == u"--out" && a.command == u"--library-get")) {
            if (i + 1 >= arguments.size()) {
                a.error = QStringLiteral("%1 needs a value").arg(arg);
                return a;
            }
            if (arg == u"--tag")
                a.tags << arguments[i + 1];
            else if (arg == u"--out")
                a.out = arguments[i + 1];
            else
                a.place = arguments[i + 1];
            ++i;
        } else if (arg.startsWith(QLatin1String("--"))) {
            a.error = QStringLiteral("%1 does not take \"%2\"").arg(a.command, readable(arg, 40));
            return a;
        } else {
            a.values << arg;
        }
    }
    if (a.command == u"--library-add" && a.values.isEmpty())
        a.error = QStringLiteral("--library-add needs the files or folders to add");
    else if (a.command == u"--library-list" && !a.values.isEmpty())
        a.error = QStringLiteral("--library-list takes no file (\"%1\")")
                      .arg(readable(a.values.first(), 40));
    else if (a.command == u"--library-get" && (a.values.size() != 1 || a.out.isEmpty()))
        a.error = QStringLiteral("--library-get needs one run's id and --out NEW.csv");
    else if (a.command == u"--library-tag" && a.values.size() < 2)
        a.error = QStringLiteral("--library-tag needs a run's id and one tag or more");
    return a;
}

int add(catalog::RunStore& store, const Arguments& a, const QString& program) {
    const catalog::ScanResult scan = catalog::filesToAdd(a.values);
    QString out = QStringLiteral("result,id,file,reason\n");
    for (const QString& missing : scan.missing)
        out += QStringLiteral("skipped,,%1,it does not exist\n").arg(fileText(missing));
    QString why;
    // A team's library also takes the rows, so any PC of the team can open the run.
    auto* team = dynamic_cast<team::TeamStore*>(&store);
    for (const QString& file : scan.files) {
        // A file whose id names the run already at its place is not read again (on a team's
        // library, once its rows are all there).
        const auto knownHere = store.idAt(file, &why);
        const auto knownRun = knownHere && team ? store.run(*knownHere, &why) : std::nullopt;
        if (knownHere && catalog::headerRunId(file) == *knownHere &&
            (!team || (knownRun && knownRun->present))) {
            if (!a.tags.isEmpty() && !store.addTags(*knownHere, a.tags, &why)) {
                print(stdout, out);
                return failure(program, why);
            }
            out += QStringLiteral("known,%1,%2,\n").arg(csvCell(*knownHere), fileText(file));
            continue;
        }
        catalog::IndexOutcome indexed = catalog::indexFile(file);
        if (!indexed.run) {
            out += QStringLiteral("skipped,,%1,%2\n")
                       .arg(fileText(file), csvCell(readable(indexed.reason, 200)));
            continue;
        }
        indexed.run->tags = a.tags;
        const auto result = store.add(*indexed.run, &why);
        if (!result || (team && !team->publishRecording(*indexed.run, &why))) {
            print(stdout, out);
            return failure(program, why);
        }
        out += QStringLiteral("%1,%2,%3,%4\n")
                   .arg(*result == catalog::AddResult::Added ? QStringLiteral("added")
                                                             : QStringLiteral("known"),
                        csvCell(indexed.run->id), fileText(file),
                        *result == catalog::AddResult::Moved
                            ? QStringLiteral("found again at this place")
                            : QString());
    }
    print(stdout, out);
    return kDone;
}

int list(catalog::RunStore& store, const Arguments& a, const QString& program) {
    catalog::RunQuery q;
    if (!a.tags.isEmpty())
        q.tag = a.tags.first();
    QString why;
    const auto runs = store.find(q, &why);
    if (!runs)
        return failure(program, why);
    QString out = QStringLiteral("id,file,started,duration_s,rows,firmware,map_range,marks,tags\n");
    for (const catalog::RunEntry& r : *runs) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\n")
                   .arg(csvCell(r.id), fileText(r.path),
                        csvCell(r.started.toString(Qt::ISODateWithMs)),
                        QString::number(r.durationS, 'f', 3), QString::number(r.rows),
                        csvCell(r.firmware), csvCell(r.mapRange), QString::number(r.marks),
                        csvCell(r.tags.join(QLatin1Char(';'))));
    }
    print(stdout, out);
    return kDone;
}

int tag(catalog::RunStore& store, const Arguments& a, const QString& program) {
    QString why;
    if (!store.addTags(a.values.first(), a.values.mid(1), &why))
        return failure(program, why);
    const auto run = store.run(a.values.first(), &why);
    if (run)
        print(stderr, QStringLiteral("%1: %2 has the tags %3\n")
                          .arg(program, run->id, run->tags.join(QStringLiteral(", "))));
    return kDone;
}

// The run's file written to NEW: from the team's server, which holds its rows, or copied from
// where the local library found it. An existing NEW is never overwritten.
int get(catalog::RunStore& store, const Arguments& a, const QString& program) {
    if (QFileInfo::exists(a.out))
        return failure(program, QStringLiteral("%1 exists already; give a new file with --out.")
                                    .arg(readablePath(QDir::toNativeSeparators(a.out))));
    QString why;
    const auto run = store.run(a.values.first(), &why);
    if (!run)
        return failure(program, why);
    QByteArray text;
    if (auto* team = dynamic_cast<team::TeamStore*>(&store)) {
        const auto held = team->recordingText(run->id, &why);
        if (!held)
            return failure(program, why);
        text = *held;
    } else {
        QFile source(run->path);
        if (!source.open(QIODevice::ReadOnly))
            return failure(program, QStringLiteral("The run %1 is no longer at %2. Add the "
                                                   "folder it went to with --library-add.")
                                        .arg(run->id, readablePath(QDir::toNativeSeparators(run->path))));
        text = source.readAll();
    }
    QSaveFile target(a.out);
    if (!target.open(QIODevice::WriteOnly) || target.write(text) != text.size() ||
        !target.commit())
        return failure(program, QStringLiteral("%1 cannot be written: %2. Give another file "
                                               "with --out, or free some space.")
                                    .arg(readablePath(QDir::toNativeSeparators(a.out)),
                                         target.errorString()));
    print(stderr, QStringLiteral("%1: wrote the run %2 to %3.\n")
                      .arg(program, run->id, readablePath(QDir::toNativeSeparators(a.out))));
    return kDone;
}

}  // namespace

QString csvCell(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool isLibrary(const QStringList& arguments) {
    return !arguments.isEmpty() && kCommands.contains(arguments.first());
}

QString usageLines(const QString& program) {
    return QStringLiteral("usage: %1 --library-add PATH... [--tag TAG]... [--library PLACE]\n"
                          "       %1 --library-list [--tag TAG] [--library PLACE]\n"
                          "       %1 --library-tag ID TAG... [--library PLACE]\n"
                          "       %1 --library-get ID --out NEW.csv [--library PLACE]\n"
                          "  PLACE: a library file, or a team library's URL "
                          "(postgresql://USER@HOST:PORT/DATABASE)\n")
        .arg(program);
}

int run(const QStringList& arguments, const QString& program) {
    const Arguments a = parseArguments(arguments);
    if (!a.error.isEmpty())
        return usage(program, a.error);
    // The library is the user's own, in the data folder named after the program.
    applyApplicationTitle();
    QString why;
    const auto store = team::openStore(a.place, &why);
    if (!store)
        return failure(program, why);
    if (a.command == u"--library-add")
        return add(*store, a, program);
    if (a.command == u"--library-get")
        return get(*store, a, program);
    return a.command == u"--library-list" ? list(*store, a, program) : tag(*store, a, program);
}

}  // namespace ignivex::library_commands
