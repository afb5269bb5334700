#include "catalog/Sqlite.h"

#include <sqlite3.h>
#include <utility>

namespace ignivex::catalog::sqlite {

Database::~Database() {
    if (db_)
        sqlite3_close_v2(db_);
}

Database::Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        if (db_)
            sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

std::optional<Database> Database::open(const QString& path, bool create, QString* why) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (why)
            *why = db ? QString::fromUtf8(sqlite3_errmsg(db))
                      : QString::fromUtf8(sqlite3_errstr(rc));
        if (db)
            sqlite3_close_v2(db);
        return std::nullopt;
    }
    // Another program (a second window) may hold the database for a moment.
    sqlite3_busy_timeout(db, 5000);
    return Database(db);
}

bool Database::exec(const char* sql, QString* why) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (why)
        *why = QString::fromUtf8(message ? message : sqlite3_errmsg(db_));
    sqlite3_free(message);
    return false;
}

QString Database::lastError() const {
    return db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString();
}

int Database::lastCode() const {
    return db_ ? sqlite3_errcode(db_) : SQLITE_MISUSE;
}

qint64 Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

Statement::Statement(Database& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK)
        stmt_ = nullptr;
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind(int index, qint64 value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}

Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::step() {
    if (!stmt_) {
        done_ = false;
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    done_ = rc == SQLITE_DONE;
    return rc == SQLITE_ROW;
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    done_ = false;
}

QString Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, column)) : QString();
}

qint64 Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Transaction::Transaction(Database& db) : db_(db) {
    began_ = db_.exec("BEGIN IMMEDIATE", nullptr);
}

Transaction::~Transaction() {
    if (began_ && !done_)
        db_.exec("ROLLBACK", nullptr);
}

bool Transaction::commit(QString* why) {
    done_ = true;
    return began_ && db_.exec("COMMIT", why);
}

}  // namespace ignivex::catalog::sqlite
