#pragma once

#include <QString>

namespace ignivex::team {

class TeamStore;

struct SpoolSent {
    enum class Result {
        Sent,     // the run is whole on the server; the spool is gone
        Waiting,  // the server could not be reached or refused: the rows wait in the spool
        Damaged,  // the spool cannot be read back: nothing was sent, the file is left as it is
    };
    Result result = Result::Waiting;
    QString runId;
    QString recording;  // from the spool's head, when it could be read
    qint64 rows = 0;    // rows the server had not held before
    QString reason;     // why it waits or cannot be read
};

// Sends what waits in the spool at `spoolPath` to the server its head names (through `store`
// when given, connected to that server already), then finishes the run with its recording's
// figures, and removes the spool. Rows the server holds already are not sent again. Blocks
// until the server answers.
SpoolSent sendSpool(const QString& spoolPath, TeamStore* store = nullptr);

}  // namespace ignivex::team
