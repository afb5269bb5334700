#include "app/SyncCommand.h"

#include "app/CommandLine.h"
#include "app/LibraryCommands.h"
#include "base/AppIdentity.h"
#include "base/MessageText.h"
#include "catalog/LibraryPlace.h"
#include "team/Spool.h"
#include "team/SpoolSender.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cstdio>

namespace ignivex::sync_command {

namespace {

using library_commands::csvCell;

void print(FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fflush(to);
}

}  // namespace

bool isSync(const QStringList& arguments) {
    return !arguments.isEmpty() && arguments.first() == u"--sync";
}

QString usageLine(const QString& program) {
    return QStringLiteral("usage: %1 --sync [--library FILE]\n").arg(program);
}

int run(const QStringList& arguments, const QString& program) {
    QString place;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == u"--library" && i + 1 < arguments.size() && place.isEmpty()) {
            place = arguments[++i];
            continue;
        }
        print(stderr, QStringLiteral("%1: --sync does not take \"%2\"\n%3Try %1 --help for more.\n")
                          .arg(program, readable(arguments[i], 40), usageLine(program)));
        return command_line::kBadArguments;
    }
    applyApplicationTitle();
    QString why;
    const auto store = catalog::openLibrary(place, &why);
    const auto runs = store ? store->find({}, &why) : std::nullopt;
    if (!runs) {
        print(stderr, QStringLiteral("%1: %2\n").arg(program, why));
        return command_line::kFailed;
    }
    // Beside each run, and beside the recordings in the same folders that never reached the
    // library (a power cut before the logger's end).
    QStringList spools;
    QSet<QString> folders;
    for (const catalog::RunEntry& run : *runs) {
        if (QFileInfo::exists(team::spoolPathFor(run.path)))
            spools << team::spoolPathFor(run.path);
        folders.insert(QFileInfo(run.path).absolutePath());
    }
    for (const QString& folder : std::as_const(folders)) {
        for (const QFileInfo& f : QDir(folder).entryInfoList({QStringLiteral("*.spool")},
                                                             QDir::Files, QDir::Name)) {
            if (!spools.contains(f.filePath()))
                spools << f.filePath();
        }
    }
    print(stdout, QStringLiteral("result,id,file,rows,reason\n"));
    int waiting = 0;
    for (const QString& spool : std::as_const(spools)) {
        const team::SpoolSent sent = team::sendSpool(spool);
        const QString file = sent.recording.isEmpty() ? spool.chopped(6) : sent.recording;
        const bool done = sent.result == team::SpoolSent::Result::Sent;
        waiting += done ? 0 : 1;
        print(stdout, QStringLiteral("%1,%2,%3,%4,%5\n")
                          .arg(done ? QStringLiteral("sent") : QStringLiteral("waiting"),
                               csvCell(sent.runId), csvCell(QDir::toNativeSeparators(file)),
                               QString::number(sent.rows), csvCell(readable(sent.reason, 300))));
    }
    return waiting == 0 ? command_line::kDone : command_line::kFailed;
}

}  // namespace ignivex::sync_command
