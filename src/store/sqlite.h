// SQLite as this program uses it: a connection, its statements and transactions, every
// failure a value (the code and SQLite's words), never an exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kelvaro::sql {

// A failure: SQLite's primary result code (SQLITE_BUSY, SQLITE_CORRUPT, ...) and its words.
struct Error {
  int code = 0;
  std::string message;
  // The file is no database, or a damaged one.
  bool Corrupt() const;
  // Another connection holds the lock past the patience given.
  bool Busy() const;
};

// Success, or the failure.
using Status = std::optional<Error>;

class Statement;

class Database {
 public:
  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  Database(Database&& other) noexcept;
  Database& operator=(Database&& other) noexcept;
  ~Database();

  // Opens (or creates, unless `read_only`) the file at the UTF-8 `path`, waiting up to
  // `busy_ms` for another connection's lock.
  Status Open(const std::string& path, bool read_only = false, int busy_ms = 5000);
  bool IsOpen() const { return db_ != nullptr; }
  void Close();

  // Runs statements that bind nothing and read no rows.
  Status Execute(std::string_view sql);
  Status Prepare(std::string_view sql, Statement& statement);
  std::int64_t LastInsertId() const;
  // The failure the connection reports now.
  Error LastError() const;

 private:
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  ~Statement();

  // Parameters from 1. Text and blobs are copied.
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view bytes);  // as a blob: any bytes
  Statement& BindText(int index, std::string_view utf8);
  // The next row: true with a row, false at the end or on a failure (then `status` holds it).
  bool Step(Status& status);
  // Runs a statement that reads no rows.
  Status Run();
  void Reset();

  std::int64_t Integer(int column) const;
  std::string Bytes(int column) const;  // a blob or text column's bytes; empty for NULL

 private:
  friend class Database;
  sqlite3_stmt* stmt_ = nullptr;
  sqlite3* db_ = nullptr;
};

// Commits when told, rolls back otherwise: a failure half-way leaves nothing behind.
class Transaction {
 public:
  // BEGIN IMMEDIATE: the write lock is taken now, so a busy store waits here, not half-way.
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Whether BEGIN succeeded; when not, `Commit` fails with the same.
  const Status& Began() const { return began_; }
  Status Commit();

 private:
  Database& db_;
  Status began_;
  bool open_ = false;
};

}  // namespace kelvaro::sql
