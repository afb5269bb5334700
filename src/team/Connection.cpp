#include "team/Connection.h"

#include <QUrl>
#include <libpq-fe.h>
#include <vector>

namespace ignivex::team {

namespace {

QString oneLine(const char* text) {
    return QString::fromUtf8(text).simplified();
}

}  // namespace

Result::Result(pg_result* result) : result_(result) {}

Result::~Result() {
    PQclear(result_);
}

Result::Result(Result&& other) noexcept : result_(other.result_) {
    other.result_ = nullptr;
}

Result& Result::operator=(Result&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = other.result_;
        other.result_ = nullptr;
    }
    return *this;
}

bool Result::ok() const {
    const ExecStatusType s = PQresultStatus(result_);
    return result_ && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
}

int Result::rows() const {
    return result_ ? PQntuples(result_) : 0;
}

QString Result::text(int row, int column) const {
    return QString::fromUtf8(PQgetvalue(result_, row, column));
}

qint64 Result::integer(int row, int column) const {
    return QByteArray(PQgetvalue(result_, row, column)).toLongLong();
}

double Result::real(int row, int column) const {
    return QByteArray(PQgetvalue(result_, row, column)).toDouble();
}

bool Result::isNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

QString Result::state() const {
    const char* code = result_ ? PQresultErrorField(result_, PG_DIAG_SQLSTATE) : nullptr;
    return code ? QString::fromLatin1(code) : QString();
}

QString Result::message() const {
    if (!result_)
        return QStringLiteral("no answer from the server");
    const char* primary = PQresultErrorField(result_, PG_DIAG_MESSAGE_PRIMARY);
    return primary ? oneLine(primary) : oneLine(PQresultErrorMessage(result_));
}

Connection::~Connection() {
    PQfinish(conn_);
}

std::unique_ptr<Connection> Connection::open(const QString& url, QString* why) {
    const QByteArray place = url.toUtf8();
    // Ours come first, so the URL's own settings override them; the URL is expanded as
    // PostgreSQL's clients expand it, with the password file, PGPASSWORD and sslmode.
    const char* keys[] = {"connect_timeout", "application_name", "keepalives_idle",
                          "keepalives_interval", "keepalives_count", "dbname", nullptr};
    const char* values[] = {"10", "Ignivex Log", "10", "5", "3", place.constData(), nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn) {
        *why = QStringLiteral("out of memory");
        return nullptr;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        *why = oneLine(PQerrorMessage(conn));
        PQfinish(conn);
        return nullptr;
    }
    // Our own notices (a table made already) would only clutter a terminal.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    return std::unique_ptr<Connection>(new Connection(conn, withoutPassword(url)));
}

Result Connection::exec(const QByteArray& sql, const QList<QByteArray>& parameters) {
    // Without parameters, several statements may go at once.
    if (parameters.isEmpty())
        return Result(PQexec(conn_, sql.constData()));
    std::vector<const char*> values;
    values.reserve(std::size_t(parameters.size()));
    for (const QByteArray& p : parameters)
        values.push_back(p.isNull() ? nullptr : p.constData());
    return Result(PQexecParams(conn_, sql.constData(), int(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0));
}

bool Connection::copyIn(const QByteArray& sql, const QByteArray& data, QString* why) {
    {
        pg_result* start = PQexec(conn_, sql.constData());
        const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
        Result started(start);
        if (!copying) {
            *why = started.ok() ? QStringLiteral("the server did not take the rows")
                                : started.message();
            return false;
        }
    }
    const bool sent = PQputCopyData(conn_, data.constData(), int(data.size())) == 1;
    if (PQputCopyEnd(conn_, sent ? nullptr : "the rows could not be sent") != 1) {
        *why = lastError();
        return false;
    }
    bool ok = sent;
    // The COPY's outcome, then the end of its results.
    while (pg_result* r = PQgetResult(conn_)) {
        Result result(r);
        if (!result.ok()) {
            ok = false;
            *why = result.message();
        }
    }
    if (!sent && why->isEmpty())
        *why = lastError();
    return ok;
}

bool Connection::broken() const {
    return PQstatus(conn_) != CONNECTION_OK;
}

QString Connection::lastError() const {
    return oneLine(PQerrorMessage(conn_));
}

QString Connection::user() const {
    return QString::fromUtf8(PQuser(conn_));
}

QString withoutPassword(const QString& url) {
    QUrl u(url);
    if (!u.isValid() || u.password().isEmpty())
        return url;
    u.setPassword(QString());
    return u.toString();
}

void appendCopyField(QByteArray& row, const QByteArray& value) {
    if (value.isNull()) {
        row += "\\N";
        return;
    }
    for (const char c : value) {
        switch (c) {
        case '\\': row += "\\\\"; break;
        case '\t': row += "\\t"; break;
        case '\n': row += "\\n"; break;
        case '\r': row += "\\r"; break;
        default: row += c;
        }
    }
}

}  // namespace ignivex::team
