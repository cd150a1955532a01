#include "store/sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace kelvaro::sql {

bool Error::Corrupt() const {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool Error::Busy() const {
  const int primary = code & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

Database::Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Database::~Database() { Close(); }

Status Database::Open(const std::string& path, bool read_only, int busy_ms) {
  Close();
  const int flags =
      (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
      SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    Error error{rc, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)};
    Close();
    return error;
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, busy_ms);
  return std::nullopt;
}

void Database::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

Error Database::LastError() const {
  if (db_ == nullptr) return {SQLITE_MISUSE, "no database open"};
  return {sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
}

Status Database::Execute(std::string_view sql) {
  if (db_ == nullptr) return LastError();
  const std::string text(sql);
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return std::nullopt;
  Error error{rc, message != nullptr ? message : sqlite3_errstr(rc)};
  sqlite3_free(message);
  return error;
}

Status Database::Prepare(std::string_view sql, Statement& statement) {
  statement = Statement();
  if (db_ == nullptr) return LastError();
  const int rc =
      sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement.stmt_, nullptr);
  if (rc != SQLITE_OK) return LastError();
  statement.db_ = db_;
  return std::nullopt;
}

std::int64_t Database::LastInsertId() const {
  return db_ == nullptr ? 0 : sqlite3_last_insert_rowid(db_);
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(std::exchange(other.db_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    if (stmt_ != nullptr) sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

Statement::~Statement() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view bytes) {
  // A zero-length blob, not NULL: an empty keyword is a keyword.
  sqlite3_bind_blob64(stmt_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                      SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindText(int index, std::string_view utf8) {
  sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  return *this;
}

bool Statement::Step(Status& status) {
  status.reset();
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) status = Error{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
  return false;
}

Status Statement::Run() {
  Status status;
  while (Step(status)) {
  }
  Reset();
  return status;
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Bytes(int column) const {
  const void* data = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  if (data == nullptr || size <= 0) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

Transaction::Transaction(Database& db) : db_(db) {
  began_ = db_.Execute("BEGIN IMMEDIATE");
  open_ = !began_.has_value();
}

Transaction::~Transaction() {
  if (open_) db_.Execute("ROLLBACK");
}

Status Transaction::Commit() {
  if (!open_) return began_ ? began_ : Status(Error{SQLITE_MISUSE, "no transaction"});
  Status status = db_.Execute("COMMIT");
  if (!status) open_ = false;
  return status;
}

}  // namespace kelvaro::sql
