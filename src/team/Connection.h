#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

struct pg_conn;
struct pg_result;

// libpq behind two owning classes: a connection closes and a result clears when it goes out of
// scope. Parameters and values travel as text, a null QByteArray being SQL's NULL.
namespace ignivex::team {

class Result {
public:
    Result() = default;
    explicit Result(pg_result* result);
    ~Result();
    Result(Result&& other) noexcept;
    Result& operator=(Result&& other) noexcept;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    // The statement ran (with or without rows).
    bool ok() const;
    int rows() const;
    QString text(int row, int column) const;
    qint64 integer(int row, int column) const;
    double real(int row, int column) const;
    bool isNull(int row, int column) const;
    // The server's five-character code for a failure ("42501"), empty when none came.
    QString state() const;
    // The server's own text for a failure, on one line.
    QString message() const;

private:
    pg_result* result_ = nullptr;
};

class Connection {
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects to the server the URL names; nothing on failure, with libpq's reason in `why`.
    static std::unique_ptr<Connection> open(const QString& url, QString* why);

    Result exec(const QByteArray& sql, const QList<QByteArray>& parameters = {});
    // A COPY ... FROM STDIN with `data` as its rows; false with the reason in `why`.
    bool copyIn(const QByteArray& sql, const QByteArray& data, QString* why);

    // The connection broke (the server went away, or was never reached).
    bool broken() const;
    // The connection's own last failure, on one line.
    QString lastError() const;
    QString user() const;
    // The URL without a password, for messages and files.
    QString place() const { return place_; }

private:
    Connection(pg_conn* conn, QString place) : conn_(conn), place_(std::move(place)) {}
    pg_conn* conn_ = nullptr;
    QString place_;
};

// The URL as it may be shown or written down: the password, if one was given in it, left out.
QString withoutPassword(const QString& url);

// SQL's literal for a text, quoted for a COPY's text format: tabs, line ends and backslashes
// escaped, a null QByteArray written as \N.
void appendCopyField(QByteArray& row, const QByteArray& value);

}  // namespace ignivex::team
