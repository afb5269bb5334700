#include "support/PgTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUuid>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <pwd.h>
#include <unistd.h>

namespace {

const char kAdmin[] = "ignivex_admin";

QString findBinDir() {
    const QString given = qEnvironmentVariable("IGNIVEX_PG_BIN");
    if (!given.isEmpty())
        return given;
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(dir + QStringLiteral("/pg_ctl")))
            return dir;
    }
    return {};
}

// A port the system has free now, on 127.0.0.1.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

}  // namespace

PgTestServer::PgTestServer() : binDir_(findBinDir()) {}

PgTestServer::~PgTestServer() {
    if (running_)
        run(bin(QStringLiteral("pg_ctl")),
            {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
            true);
}

QString PgTestServer::bin(const QString& name) const {
    return binDir_ + QLatin1Char('/') + name;
}

bool PgTestServer::run(const QString& program, const QStringList& arguments, bool asServer,
                       QString* output) {
    QProcess p;
    QString exe = program;
    QStringList args = arguments;
    if (asServer && ::geteuid() == 0) {
        args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--")} +
               QStringList{program} + arguments;
        exe = QStringLiteral("setpriv");
    }
    p.setWorkingDirectory(dir_.path());
    p.start(exe, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000) ||
        p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = QStringLiteral("%1 failed: %2 %3")
                     .arg(QFileInfo(program).fileName(), p.errorString(),
                          QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return true;
}

bool PgTestServer::setUp() {
    if (binDir_.isEmpty()) {
        error_ = QStringLiteral("no PostgreSQL server is installed (postgresql-15: run "
                                "scripts/install-deps)");
        return false;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        const group* nogroup = ::getgrnam("nogroup");
        if (!nobody || !nogroup ||
            ::chown(QFile::encodeName(dir_.path()).constData(), nobody->pw_uid,
                    nogroup->gr_gid) != 0) {
            error_ = QStringLiteral("cannot give the temporary folder to nobody");
            return false;
        }
    }
    const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString pwfile = dir_.filePath(QStringLiteral("pw"));
    QFile pw(pwfile);
    if (!pw.open(QIODevice::WriteOnly) || pw.write(password.toUtf8() + '\n') < 0)
        return false;
    pw.close();
    pw.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    if (!run(bin(QStringLiteral("initdb")),
             {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-U"),
              QLatin1String(kAdmin), QStringLiteral("--pwfile=") + pwfile,
              QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-locale"),
              QStringLiteral("--no-sync")},
             true))
        return false;
    port_ = freePort();
    pgpass_ = dir_.filePath(QStringLiteral("pgpass"));
    QFile pass(pgpass_);
    if (!pass.open(QIODevice::WriteOnly) ||
        pass.write(QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(port_).arg(QLatin1String(kAdmin), password).toUtf8()) < 0)
        return false;
    pass.close();
    // libpq ignores a pgpass file others may read.
    pass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(pgpass_));
    qunsetenv("PGPASSWORD");
    return start();
}

bool PgTestServer::start() {
    running_ = run(bin(QStringLiteral("pg_ctl")),
                   {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")),
                    QStringLiteral("-l"), dir_.filePath(QStringLiteral("log")), QStringLiteral("-w"),
                    QStringLiteral("-o"),
                    QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                        .arg(port_)
                        .arg(dir_.path()),
                    QStringLiteral("start")},
                   true);
    return running_;
}

bool PgTestServer::stop() {
    if (!run(bin(QStringLiteral("pg_ctl")),
             {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-m"),
              QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
             true))
        return false;
    running_ = false;
    return true;
}

QString PgTestServer::url(const QString& user, const QString& db) const {
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(user).arg(port_).arg(db);
}

QString PgTestServer::sql(const QString& statements, const QString& db) {
    QString out;
    if (!run(bin(QStringLiteral("psql")),
             {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
              QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"),
              url(QLatin1String(kAdmin), db), QStringLiteral("-c"), statements},
             false, &out))
        return {};
    return out.trimmed().isNull() ? QStringLiteral("") : out.trimmed();
}

bool PgTestServer::addRole(const QString& role, const QString& attributes) {
    const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (sql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2' %3").arg(role, password, attributes))
            .isNull())
        return false;
    QFile pass(pgpass_);
    if (!pass.open(QIODevice::Append))
        return false;
    return pass.write(QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(port_).arg(role, password).toUtf8()) >= 0;
}
