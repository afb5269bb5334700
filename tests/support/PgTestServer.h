#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real PostgreSQL server for the tests: Debian's postgresql-15, made afresh in a temporary
// folder, listening on a port of its own on 127.0.0.1 only, stopped and removed at the end.
// PostgreSQL refuses to run as root, so under root (CI) the server runs as "nobody". Connections
// need a password, which the server's own pgpass file gives (PGPASSFILE is set to it), so the
// program is tested taking passwords the way PostgreSQL's clients do.
class PgTestServer {
public:
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // Makes the cluster and starts it; false with the reason in error().
    bool setUp();
    bool start();
    bool stop();
    QString error() const { return error_; }

    int port() const { return port_; }
    // postgresql://USER@127.0.0.1:PORT/DB
    QString url(const QString& user = QStringLiteral("ignivex_admin"),
                const QString& db = QStringLiteral("postgres")) const;
    // Runs SQL as the server's superuser with psql; its output (unaligned, tuples only), or a
    // null string on failure, with the reason in error().
    QString sql(const QString& statements, const QString& db = QStringLiteral("postgres"));
    // A login role with its password in the pgpass file.
    bool addRole(const QString& role, const QString& attributes = {});

private:
    bool run(const QString& program, const QStringList& arguments, bool asServer,
             QString* output = nullptr);
    QString bin(const QString& name) const;
    bool pgCtl(const QStringList& arguments);
    bool writeFile(const QString& path, const QString& text, QIODevice::OpenMode mode);
    // A line of the password file for a role of this server.
    QString passLine(const QString& role, const QString& password) const;

    QTemporaryDir dir_;
    QString binDir_;
    QString pgpass_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};
