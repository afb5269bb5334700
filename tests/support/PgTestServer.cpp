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

using namespace Qt::StringLiterals;

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
        pgCtl({u"-m"_s, u"immediate"_s, u"stop"_s});
}

QString PgTestServer::bin(const QString& name) const {
    return binDir_ + u'/' + name;
}

bool PgTestServer::run(const QString& program, const QStringList& arguments, bool asServer,
                       QString* output) {
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    if (asServer && ::geteuid() == 0)
        p.start(u"setpriv"_s, QStringList{u"--reuid=nobody"_s, u"--regid=nogroup"_s,
                                          u"--clear-groups"_s, u"--"_s, program} + arguments);
    else
        p.start(program, arguments);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000) ||
        p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = u"%1 failed: %2 %3"_s.arg(QFileInfo(program).fileName(), p.errorString(),
                                           QString::fromLocal8Bit(p.readAllStandardError() +
                                                                  p.readAllStandardOutput()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return true;
}

bool PgTestServer::writeFile(const QString& path, const QString& text, QIODevice::OpenMode mode) {
    QFile f(path);
    if (f.open(mode) && f.write(text.toUtf8()) >= 0)
        return true;
    error_ = u"%1 cannot be written: %2"_s.arg(path, f.errorString());
    return false;
}

bool PgTestServer::pgCtl(const QStringList& arguments) {
    return run(bin(u"pg_ctl"_s), QStringList{u"-D"_s, dir_.filePath(u"data"_s), u"-w"_s} + arguments,
               true);
}

bool PgTestServer::setUp() {
    if (binDir_.isEmpty()) {
        error_ = u"no PostgreSQL server is installed (postgresql-15: run scripts/install-deps)"_s;
        return false;
    }
    if (!dir_.isValid()) {
        error_ = u"no temporary folder"_s;
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        const group* nogroup = ::getgrnam("nogroup");
        if (!nobody || !nogroup ||
            ::chown(QFile::encodeName(dir_.path()).constData(), nobody->pw_uid,
                    nogroup->gr_gid) != 0) {
            error_ = u"cannot give the temporary folder to nobody"_s;
            return false;
        }
    }
    const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString pwfile = dir_.filePath(u"pw"_s);
    if (!writeFile(pwfile, password + u'\n', QIODevice::WriteOnly))
        return false;
    QFile::setPermissions(pwfile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    if (!run(bin(u"initdb"_s),
             {u"-D"_s, dir_.filePath(u"data"_s), u"-U"_s, QLatin1String(kAdmin),
              u"--pwfile="_s + pwfile, u"--auth-local=trust"_s, u"--auth-host=scram-sha-256"_s,
              u"-E"_s, u"UTF8"_s, u"--no-locale"_s, u"--no-sync"_s},
             true))
        return false;
    port_ = freePort();
    pgpass_ = dir_.filePath(u"pgpass"_s);
    if (!writeFile(pgpass_, passLine(QLatin1String(kAdmin), password), QIODevice::WriteOnly))
        return false;
    // libpq ignores a pgpass file others may read.
    QFile::setPermissions(pgpass_, QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(pgpass_));
    qunsetenv("PGPASSWORD");
    return start();
}

bool PgTestServer::start() {
    running_ = pgCtl({u"-l"_s, dir_.filePath(u"log"_s), u"-o"_s,
                      u"-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off"_s.arg(port_).arg(
                          dir_.path()),
                      u"start"_s});
    return running_;
}

bool PgTestServer::stop() {
    if (!pgCtl({u"-m"_s, u"fast"_s, u"stop"_s}))
        return false;
    running_ = false;
    return true;
}

QString PgTestServer::url(const QString& user, const QString& db) const {
    return u"postgresql://%1@127.0.0.1:%2/%3"_s.arg(user).arg(port_).arg(db);
}

QString PgTestServer::passLine(const QString& role, const QString& password) const {
    return u"127.0.0.1:%1:*:%2:%3\n"_s.arg(port_).arg(role, password);
}

QString PgTestServer::sql(const QString& statements, const QString& db) {
    QString out;
    if (!run(bin(u"psql"_s),
             {u"-X"_s, u"-q"_s, u"-A"_s, u"-t"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-d"_s,
              url(QLatin1String(kAdmin), db), u"-c"_s, statements},
             false, &out))
        return {};
    return out.trimmed().isNull() ? u""_s : out.trimmed();
}

bool PgTestServer::addRole(const QString& role, const QString& attributes) {
    const QString password = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return !sql(u"CREATE ROLE %1 LOGIN PASSWORD '%2' %3"_s.arg(role, password, attributes)).isNull() &&
           writeFile(pgpass_, passLine(role, password), QIODevice::Append);
}
