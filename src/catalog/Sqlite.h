#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// SQLite's C API behind a few owning classes: a connection closes, a statement finalises and a
// transaction rolls back when it goes out of scope, and every failure carries SQLite's own text.
namespace ignivex::catalog::sqlite {

class Statement;

class Database {
public:
    Database() = default;
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database read-write, or makes it when `create`; nothing on failure,
    // with SQLite's reason in `why`.
    static std::optional<Database> open(const QString& path, bool create, QString* why);

    bool isOpen() const { return db_ != nullptr; }
    // Runs statements without results; false with the reason in `why`.
    bool exec(const char* sql, QString* why);
    QString lastError() const;
    int lastCode() const;
    qint64 lastInsertId() const;
    sqlite3* handle() const { return db_; }

private:
    explicit Database(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
};

// One prepared statement. Parameters are numbered from 1; columns from 0.
class Statement {
public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int index, const QString& text);
    Statement& bind(int index, qint64 value);
    Statement& bind(int index, int value) { return bind(index, qint64(value)); }
    Statement& bind(int index, double value);
    Statement& bindNull(int index);
    // A row is there to read (true), or the statement is done or failed (false: see done()).
    bool step();
    // The last step ended the statement without a fault.
    bool done() const { return done_; }
    void reset();

    QString text(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    bool isNull(int column) const;

private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool done_ = false;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool began() const { return began_; }
    bool commit(QString* why);

private:
    Database& db_;
    bool began_ = false;
    bool done_ = false;
};

}  // namespace ignivex::catalog::sqlite
