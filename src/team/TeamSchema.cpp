#include "team/TeamSchema.h"

#include "team/Connection.h"

namespace ignivex::team {

namespace {

const char kSchemaName[] = "ignivex-log team runs";

// The runs' rows are kept narrow for the queries across runs (values in units of their last
// decimal, as the file writes them); each row's line as the file had it is kept apart, to give
// the file back whole.
const char kVersion1[] = R"(
CREATE SCHEMA ignivex;
CREATE TABLE ignivex.library_schema (name text NOT NULL, version integer NOT NULL);
CREATE TABLE ignivex.runs (
    run_key serial PRIMARY KEY,
    id text NOT NULL UNIQUE,
    path text NOT NULL DEFAULT '',
    started text NOT NULL DEFAULT '',
    started_at timestamptz,
    duration_s double precision NOT NULL DEFAULT 0,
    rows bigint NOT NULL DEFAULT 0,
    firmware text NOT NULL DEFAULT '',
    map_range text NOT NULL DEFAULT '',
    marks bigint NOT NULL DEFAULT 0,
    note text NOT NULL DEFAULT '',
    top text NOT NULL DEFAULT '',
    whole boolean NOT NULL DEFAULT false,
    added_by text NOT NULL DEFAULT current_user,
    added_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX runs_started ON ignivex.runs (started_at);
CREATE TABLE ignivex.channels (
    run_key integer NOT NULL REFERENCES ignivex.runs ON DELETE CASCADE,
    position integer NOT NULL,
    name text NOT NULL,
    samples bigint NOT NULL,
    min double precision, max double precision, mean double precision,
    PRIMARY KEY (run_key, position)
);
CREATE TABLE ignivex.tags (
    run_key integer NOT NULL REFERENCES ignivex.runs ON DELETE CASCADE,
    tag text NOT NULL,
    PRIMARY KEY (run_key, tag)
);
CREATE INDEX tags_tag ON ignivex.tags (tag);
CREATE TABLE ignivex.run_rows (
    run_key integer NOT NULL REFERENCES ignivex.runs ON DELETE CASCADE,
    row_no integer NOT NULL,
    status smallint,
    t double precision,
    dt double precision,
    rpm integer, advance integer, map integer, battery_v integer, gpi3_v integer,
    gpi1 integer, gpi2 integer, gpi3 integer,
    PRIMARY KEY (run_key, row_no)
);
-- How often each step between rows that move on occurs, once a run is whole: the gap
-- threshold of any set of runs is their median step, found without sorting their rows.
CREATE TABLE ignivex.run_steps (
    run_key integer NOT NULL REFERENCES ignivex.runs ON DELETE CASCADE,
    step double precision NOT NULL,
    n bigint NOT NULL,
    PRIMARY KEY (run_key, step)
);
CREATE TABLE ignivex.run_lines (
    run_key integer NOT NULL REFERENCES ignivex.runs ON DELETE CASCADE,
    row_no integer NOT NULL,
    line text NOT NULL,
    PRIMARY KEY (run_key, row_no)
);
)";

// The team's roles, where the server's keeper has made them: readers see, writers also add.
const char kGrants[] = R"(
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'ignivex_reader') THEN
        GRANT USAGE ON SCHEMA ignivex TO ignivex_reader;
        GRANT SELECT ON ALL TABLES IN SCHEMA ignivex TO ignivex_reader;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'ignivex_writer') THEN
        GRANT USAGE ON SCHEMA ignivex TO ignivex_writer;
        GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA ignivex TO ignivex_writer;
        GRANT USAGE ON ALL SEQUENCES IN SCHEMA ignivex TO ignivex_writer;
    END IF;
END $$;
)";

}  // namespace

bool prepareSchema(Connection& db, QString* why) {
    const QString where = db.place();
    // Two PCs opening a new library at once: one makes it, the other waits and finds it.
    Result begin = db.exec("BEGIN");
    Result lock = db.exec("SELECT pg_advisory_xact_lock(7391004)");
    if (!begin.ok() || !lock.ok()) {
        *why = QStringLiteral("The team library at %1 cannot be read: %2.")
                   .arg(where, lock.message());
        return false;
    }
    Result has = db.exec("SELECT to_regnamespace('ignivex') IS NOT NULL, "
                         "to_regclass('ignivex.library_schema') IS NOT NULL");
    if (!has.ok()) {
        *why = QStringLiteral("The team library at %1 cannot be read: %2.")
                   .arg(where, has.message());
        return false;
    }
    const bool schema = has.text(0, 0) == u"t";
    const bool versioned = has.text(0, 1) == u"t";
    if (!schema) {
        Result made = db.exec(kVersion1);
        Result named = made.ok() ? db.exec("INSERT INTO ignivex.library_schema VALUES ($1, $2)",
                                           {kSchemaName, QByteArray::number(kTeamSchemaVersion)})
                                 : Result();
        Result granted = named.ok() ? db.exec(kGrants) : Result();
        Result done = granted.ok() ? db.exec("COMMIT") : Result();
        if (!done.ok()) {
            const Result& failed = !made.ok() ? made : !named.ok() ? named : granted;
            db.exec("ROLLBACK");
            if (failed.state() == u"42501")
                *why = QStringLiteral("The database at %1 holds no team library yet, and the "
                                      "role %2 may not make one. Ask the server's keeper to "
                                      "open it once with Ignivex Log as the database's owner "
                                      "(the help page on the team library says how).")
                           .arg(where, db.user());
            else
                *why = QStringLiteral("The team library at %1 cannot be made: %2.")
                           .arg(where, failed.message());
            return false;
        }
        return true;
    }
    if (!versioned) {
        db.exec("ROLLBACK");
        *why = QStringLiteral("The database at %1 has a schema \"ignivex\" that is not a team "
                              "library of Ignivex Log; it was left as it is. Use another "
                              "database.")
                   .arg(where);
        return false;
    }
    Result version = db.exec("SELECT name, version FROM ignivex.library_schema");
    db.exec("COMMIT");
    if (!version.ok() || version.rows() != 1 || version.text(0, 0) != QLatin1String(kSchemaName)) {
        *why = QStringLiteral("The team library at %1 is damaged (%2) and was left as it is. "
                              "Ask the server's keeper to restore it.")
                   .arg(where, version.ok() ? QStringLiteral("its version is missing")
                                            : version.message());
        return false;
    }
    const qint64 v = version.integer(0, 1);
    if (v > kTeamSchemaVersion) {
        *why = QStringLiteral("The team library at %1 was made by a newer version of Ignivex "
                              "Log (library version %2; this one knows up to %3) and was left "
                              "as it is. Update Ignivex Log to use it.")
                   .arg(where)
                   .arg(v)
                   .arg(kTeamSchemaVersion);
        return false;
    }
    if (v < 1) {
        *why = QStringLiteral("The team library at %1 is damaged (its version %2 is none) and "
                              "was left as it is.")
                   .arg(where)
                   .arg(v);
        return false;
    }
    return true;
}

}  // namespace ignivex::team
