#include "store/lookup_archive.h"

#include <chrono>
#include <ctime>
#include <string_view>
#include <utility>

#include <zlib.h>

#include "platform/files.h"

namespace kelvaro {
namespace {

constexpr char kFileName[] = "lookups.sqlite3";

// One table the lookups, each with its page's rows packed (PackRows), one the detail pages,
// one the verdicts. Texts are kept as the site's bytes (blobs), so nothing is lost to a
// conversion.
constexpr char kSchema[] = R"sql(
CREATE TABLE lookups(
  id INTEGER PRIMARY KEY,
  site TEXT NOT NULL, prefix BLOB NOT NULL, keyword BLOB NOT NULL, page INTEGER NOT NULL,
  asked_at INTEGER NOT NULL, read_at TEXT NOT NULL,
  http_status INTEGER NOT NULL, error BLOB NOT NULL, kind INTEGER NOT NULL,
  page_count INTEGER NOT NULL, page_title BLOB NOT NULL, address BLOB NOT NULL,
  record_number BLOB NOT NULL, record_title BLOB NOT NULL, record_release_date BLOB NOT NULL,
  record_department BLOB NOT NULL, record_status BLOB NOT NULL,
  digest INTEGER NOT NULL, rows BLOB NOT NULL);
CREATE INDEX lookups_by_keyword ON lookups(keyword, page, asked_at);
CREATE INDEX lookups_by_age ON lookups(asked_at);
CREATE TABLE details(
  id INTEGER PRIMARY KEY,
  address BLOB NOT NULL, asked_at INTEGER NOT NULL, read_at TEXT NOT NULL,
  http_status INTEGER NOT NULL, error BLOB NOT NULL,
  labelled INTEGER NOT NULL, refused INTEGER NOT NULL, replacements BLOB NOT NULL,
  replaced_by BLOB NOT NULL);
CREATE INDEX details_by_address ON details(address, asked_at);
CREATE INDEX details_by_age ON details(asked_at);
CREATE TABLE verdicts(
  id INTEGER PRIMARY KEY,
  site TEXT NOT NULL, prefix BLOB NOT NULL, standard BLOB NOT NULL,
  asked_at INTEGER NOT NULL, looked_up_at TEXT NOT NULL,
  verdict INTEGER NOT NULL, latest_number BLOB NOT NULL, effective_date BLOB NOT NULL);
CREATE INDEX verdicts_by_standard ON verdicts(standard, site, prefix, looked_up_at);
CREATE INDEX verdicts_by_age ON verdicts(asked_at);
)sql";

std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

// The replaced-by list in one blob: the numbers never hold a line feed (pages are read with
// their tags dropped and their spaces trimmed; a line feed inside one would split it, and
// that number would be compared twice, never lost).
std::string Joined(const std::vector<Text>& texts) {
  std::string joined;
  for (const Text& text : texts) {
    if (!joined.empty()) joined += '\n';
    joined += text;
  }
  return joined;
}

std::vector<Text> Split(const std::string& joined) {
  std::vector<Text> texts;
  if (joined.empty()) return texts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = joined.find('\n', start);
    texts.push_back(joined.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return texts;
}

// FNV-1a over what the page was read into: tells two answers apart without their bodies.
std::int64_t Digest(const StandardLookup& lookup) {
  std::uint64_t hash = 1469598103934665603ULL;
  const auto add = [&hash](const std::string& text) {
    for (const char c : text) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ULL;
    }
    hash ^= 0xff;
    hash *= 1099511628211ULL;
  };
  for (const ListedStandard& row : lookup.listed) {
    for (const Text* field : {&row.number, &row.title, &row.release_date, &row.department,
                              &row.effective_date, &row.status, &row.detail}) {
      add(*field);
    }
  }
  add(lookup.record.number);
  add(lookup.record.status);
  return static_cast<std::int64_t>(hash);
}

// Moves the file and its journal aside; false when it could not be moved.
bool SetAside(const std::string& path, std::string& moved_to) {
  moved_to = path + ".corrupt-" + TodayText();
  std::string error;
  for (int n = 2; platform::PathExists(moved_to) && n < 100; ++n) {
    moved_to = path + ".corrupt-" + TodayText() + "-" + std::to_string(n);
  }
  if (!platform::RenameFile(path, moved_to, error)) return false;
  // A write-ahead log left beside it belongs to the old file, never to the new one.
  for (const char* suffix : {"-wal", "-shm"}) {
    if (platform::PathExists(path + suffix)) {
      platform::RenameFile(path + suffix, moved_to + suffix, error);
    }
  }
  return true;
}

constexpr std::size_t kMaxPackedRows = 64u << 20;  // what no page of results comes near

void PutText(std::string& out, const std::string& text) {
  for (std::size_t n = text.size();; n >>= 7) {
    out += static_cast<char>((n & 0x7f) | (n >= 0x80 ? 0x80 : 0));
    if (n < 0x80) break;
  }
  out += text;
}

bool GetText(std::string_view& in, std::string& text) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    if (in.empty() || shift > 28) return false;
    const auto byte = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    n |= static_cast<std::size_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) break;
  }
  if (n > in.size()) return false;
  text.assign(in.substr(0, n));
  in.remove_prefix(n);
  return true;
}

// A page's rows in one blob: each field length-prefixed, deflated, after the unpacked size
// (four bytes, little-endian). The titles and departments of one page repeat, and a store
// of a year of lookups stays small.
std::string PackRows(const std::vector<ListedStandard>& rows) {
  if (rows.empty()) return {};
  std::string raw;
  for (const ListedStandard& row : rows) {
    for (const Text* field : {&row.number, &row.title, &row.release_date, &row.department,
                              &row.effective_date, &row.status, &row.detail}) {
      PutText(raw, *field);
    }
    raw += static_cast<char>(row.standing);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(4 + size, '\0');
  for (int i = 0; i < 4; ++i) packed[i] = static_cast<char>((raw.size() >> (8 * i)) & 0xff);
  if (compress2(reinterpret_cast<Bytef*>(packed.data() + 4), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(4 + size);
  return packed;
}

// False when `packed` is not what PackRows made (a damaged store).
bool UnpackRows(const std::string& packed, std::vector<ListedStandard>& rows) {
  rows.clear();
  if (packed.empty()) return true;
  if (packed.size() < 4) return false;
  std::size_t raw_size = 0;
  for (int i = 0; i < 4; ++i)
    raw_size |= std::size_t{static_cast<unsigned char>(packed[i])} << (8 * i);
  if (raw_size > kMaxPackedRows) return false;
  std::string raw(raw_size, '\0');
  uLongf size = static_cast<uLongf>(raw_size);
  if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                 reinterpret_cast<const Bytef*>(packed.data() + 4),
                 static_cast<uLong>(packed.size() - 4)) != Z_OK ||
      size != raw_size) {
    return false;
  }
  std::string_view in(raw);
  while (!in.empty()) {
    ListedStandard row;
    for (Text* field : {&row.number, &row.title, &row.release_date, &row.department,
                        &row.effective_date, &row.status, &row.detail}) {
      if (!GetText(in, *field)) return false;
    }
    if (in.empty()) return false;
    row.standing = static_cast<Standing>(static_cast<unsigned char>(in.front()) & 3);
    in.remove_prefix(1);
    rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace

std::string LookupArchivePath(bool no_store) {
  if (no_store) return {};
  // Read wide on Windows: a store under a user's non-ASCII profile path keeps its name.
  if (const std::string env = platform::EnvironmentText("KELVARO_STORE"); !env.empty()) {
    return env == "off" ? std::string() : env;
  }
  const std::string folder = platform::DataFolder();
  if (folder.empty()) return {};
  return platform::JoinPath(folder, kFileName);
}

std::shared_ptr<LookupArchive> LookupArchive::None() {
  return std::shared_ptr<LookupArchive>(new LookupArchive());
}

std::shared_ptr<LookupArchive> LookupArchive::Open(const std::string& path, std::string& warning,
                                                   Clock clock) {
  warning.clear();
  std::shared_ptr<LookupArchive> archive(new LookupArchive());
  archive->clock_ = clock ? std::move(clock) : Clock(&NowSeconds);
  archive->path_ = path;
  if (path.empty()) return archive;
  std::lock_guard<std::mutex> hold(archive->mutex_);
  const std::string folder = platform::ParentFolder(path);
  std::string error;
  if (!folder.empty() && !platform::MakeDirectories(folder, error)) {
    warning = "cannot make the folder of the lookup store " + path + " (" + error +
              "): lookups are not kept";
    return archive;
  }
  sql::Status status = archive->Prepare(path);
  if (status && status->Corrupt()) {
    archive->db_.Close();
    std::string moved_to;
    if (!SetAside(path, moved_to)) {
      warning = "the lookup store " + path +
                " is damaged and could not be set aside: lookups are not kept";
      return archive;
    }
    warning = "the lookup store " + path + " was damaged or not a store: set aside as " + moved_to +
              ", a new one started";
    status = archive->Prepare(path);
  }
  if (status) {
    archive->db_.Close();
    const std::string why = "the lookup store " + path + " cannot be used (" + status->message +
                            "): lookups are not kept";
    warning = warning.empty() ? why : warning + "; " + why;
  }
  return archive;
}

// Opens the file and makes it an archive of this version; a file that is not one (another
// program's database, a newer archive, random bytes, a truncated one) fails as corrupt.
sql::Status LookupArchive::Prepare(const std::string& path) {
  if (sql::Status status = db_.Open(path)) return status;
  const auto corrupt = [](const std::string& why) {
    return sql::Status(sql::Error{11 /* SQLITE_CORRUPT */, why});
  };
  sql::Statement check;
  if (sql::Status status = db_.Prepare("PRAGMA quick_check(1)", check)) return status;
  sql::Status status;
  if (!check.Step(status)) return status ? status : corrupt("no integrity answer");
  if (check.Bytes(0) != "ok") return corrupt("integrity check: " + check.Bytes(0));
  check = sql::Statement();
  sql::Statement version;
  if (sql::Status s = db_.Prepare("PRAGMA user_version", version)) return s;
  if (!version.Step(status)) return status ? status : corrupt("no version");
  const std::int64_t found = version.Integer(0);
  version = sql::Statement();
  if (found > kSchemaVersion) return corrupt("a store of a newer Kelvaro");
  if (sql::Status s = db_.Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                  "PRAGMA foreign_keys=ON;")) {
    return s;
  }
  if (found == 0) {
    // Made under the write lock, and looked at again there: another process may be making
    // it at this moment, and its half-made file is not another program's.
    sql::Transaction made(db_);
    if (made.Began()) return made.Began();
    sql::Statement again;
    if (sql::Status s = db_.Prepare("PRAGMA user_version", again)) return s;
    if (!again.Step(status)) return status;
    const std::int64_t now_found = again.Integer(0);
    again = sql::Statement();
    if (now_found == 0) {
      sql::Statement tables;
      if (sql::Status s = db_.Prepare("SELECT count(*) FROM sqlite_master", tables)) return s;
      if (!tables.Step(status)) return status;
      if (tables.Integer(0) != 0) return corrupt("another program's database");
      tables = sql::Statement();
      if (sql::Status s = db_.Execute(kSchema)) return s;
      if (sql::Status s = db_.Execute("PRAGMA user_version=" + std::to_string(kSchemaVersion))) {
        return s;
      }
    } else if (now_found > kSchemaVersion) {
      return corrupt("a store of a newer Kelvaro");
    }
    if (sql::Status s = made.Commit()) return s;
  }
  // Later versions migrate forward here, one step a version.
  // What is older than a year goes; the rows of a lookup go with it.
  sql::Statement prune;
  const std::int64_t oldest = clock_() - kKeptSeconds;
  for (const char* table : {"lookups", "details", "verdicts"}) {
    if (sql::Status s =
            db_.Prepare(std::string("DELETE FROM ") + table + " WHERE asked_at < ?", prune)) {
      return s;
    }
    prune.Bind(1, oldest);
    if (sql::Status s = prune.Run()) return s;
  }
  return std::nullopt;
}

bool LookupArchive::Keeps() const { return db_.IsOpen(); }

void LookupArchive::Failed(const sql::Error& error) {
  // A store that stops working stops being used: the check goes on without it.
  if (warning_.empty()) {
    warning_ = "the lookup store " + path_ + " failed (" + error.message +
               "): lookups from now on are not kept";
  }
  db_.Close();
}

std::string LookupArchive::TakeWarning() {
  std::lock_guard<std::mutex> hold(mutex_);
  return std::exchange(warning_, std::string());
}

std::optional<StandardLookup> LookupArchive::FindFresh(const Site& site, const Text& keyword,
                                                       int page, std::chrono::seconds max_age) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!db_.IsOpen() || max_age.count() <= 0) return std::nullopt;
  sql::Statement find;
  sql::Status status = db_.Prepare(
      "SELECT rows, read_at, http_status, kind, page_count, page_title, address, record_number, "
      "record_title, record_release_date, record_department, record_status FROM lookups "
      "WHERE keyword = ? AND site = ? AND prefix = ? AND page = ? AND asked_at >= ? "
      "AND http_status = 200 AND kind IN (?, ?) ORDER BY asked_at DESC, id DESC LIMIT 1",
      find);
  if (status) {
    Failed(*status);
    return std::nullopt;
  }
  find.Bind(1, std::string_view(keyword))
      .BindText(2, site.name)
      .Bind(3, std::string_view(site.prefix))
      .Bind(4, std::int64_t{page})
      .Bind(5, clock_() - max_age.count())
      .Bind(6, std::int64_t{static_cast<int>(PageKind::kResults)})
      .Bind(7, std::int64_t{static_cast<int>(PageKind::kNoHit)});
  if (!find.Step(status)) {
    if (status) Failed(*status);
    return std::nullopt;
  }
  StandardLookup lookup;
  if (!UnpackRows(find.Bytes(0), lookup.listed)) {
    Failed({11 /* SQLITE_CORRUPT */, "a kept page's rows cannot be read"});
    return std::nullopt;
  }
  lookup.read_at = find.Bytes(1);
  lookup.http_status = static_cast<int>(find.Integer(2));
  lookup.kind = static_cast<PageKind>(find.Integer(3));
  lookup.page_count = static_cast<int>(find.Integer(4));
  lookup.page_title = find.Bytes(5);
  lookup.address = find.Bytes(6);
  lookup.record = {find.Bytes(7), find.Bytes(8), find.Bytes(9), find.Bytes(10), find.Bytes(11)};
  lookup.site = site.name;
  lookup.from_store = true;
  return lookup;
}

void LookupArchive::Keep(const Site& site, const Text& keyword, int page,
                         const StandardLookup& lookup) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!db_.IsOpen()) return;
  // One transaction a lookup: killed half-way, the file holds it whole or not at all.
  sql::Transaction keep(db_);
  sql::Status status = keep.Began();
  sql::Statement insert;
  if (!status) {
    status = db_.Prepare(
        "INSERT INTO lookups(site, prefix, keyword, page, asked_at, read_at, http_status, error, "
        "kind, page_count, page_title, address, record_number, record_title, "
        "record_release_date, record_department, record_status, digest, rows) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        insert);
  }
  if (!status) {
    insert.BindText(1, site.name)
        .Bind(2, std::string_view(site.prefix))
        .Bind(3, std::string_view(keyword))
        .Bind(4, std::int64_t{page})
        .Bind(5, clock_())
        .BindText(6, lookup.read_at)
        .Bind(7, std::int64_t{lookup.http_status})
        .Bind(8, std::string_view(lookup.error))
        .Bind(9, std::int64_t{static_cast<int>(lookup.kind)})
        .Bind(10, std::int64_t{lookup.page_count})
        .Bind(11, std::string_view(lookup.page_title))
        .Bind(12, std::string_view(lookup.address))
        .Bind(13, std::string_view(lookup.record.number))
        .Bind(14, std::string_view(lookup.record.title))
        .Bind(15, std::string_view(lookup.record.release_date))
        .Bind(16, std::string_view(lookup.record.department))
        .Bind(17, std::string_view(lookup.record.status))
        .Bind(18, Digest(lookup))
        .Bind(19, std::string_view(PackRows(lookup.listed)));
    status = insert.Run();
  }
  insert = sql::Statement();
  if (!status) status = keep.Commit();
  if (status) Failed(*status);
}

std::optional<DetailLookup> LookupArchive::FindFreshDetail(const Text& address,
                                                           std::chrono::seconds max_age) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!db_.IsOpen() || max_age.count() <= 0) return std::nullopt;
  sql::Statement find;
  sql::Status status = db_.Prepare(
      "SELECT read_at, http_status, labelled, refused, replacements, replaced_by FROM details "
      "WHERE address = ? AND asked_at >= ? AND http_status = 200 AND labelled = 1 "
      "ORDER BY asked_at DESC, id DESC LIMIT 1",
      find);
  if (status) {
    Failed(*status);
    return std::nullopt;
  }
  find.Bind(1, std::string_view(address)).Bind(2, clock_() - max_age.count());
  if (!find.Step(status)) {
    if (status) Failed(*status);
    return std::nullopt;
  }
  DetailLookup lookup;
  lookup.address = address;
  lookup.read_at = find.Bytes(0);
  lookup.http_status = static_cast<int>(find.Integer(1));
  lookup.records.labelled = find.Integer(2) != 0;
  lookup.records.refused = find.Integer(3) != 0;
  lookup.records.replacements = find.Bytes(4);
  lookup.records.replaced_by = Split(find.Bytes(5));
  return lookup;
}

void LookupArchive::KeepDetail(const DetailLookup& lookup) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!db_.IsOpen()) return;
  sql::Statement insert;
  sql::Status status = db_.Prepare(
      "INSERT INTO details(address, asked_at, read_at, http_status, error, labelled, refused, "
      "replacements, replaced_by) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)",
      insert);
  if (!status) {
    insert.Bind(1, std::string_view(lookup.address))
        .Bind(2, clock_())
        .BindText(3, lookup.read_at)
        .Bind(4, std::int64_t{lookup.http_status})
        .Bind(5, std::string_view(lookup.error))
        .Bind(6, std::int64_t{lookup.records.labelled ? 1 : 0})
        .Bind(7, std::int64_t{lookup.records.refused ? 1 : 0})
        .Bind(8, std::string_view(lookup.records.replacements))
        .Bind(9, std::string_view(Joined(lookup.records.replaced_by)));
    status = insert.Run();
  }
  if (status) Failed(*status);
}

std::optional<VerdictSeen> LookupArchive::NoteVerdict(const Site& site, const Text& standard,
                                                      const VerdictSeen& now, bool again) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!db_.IsOpen()) return std::nullopt;
  sql::Statement find;
  sql::Status status = db_.Prepare(
      "SELECT verdict, latest_number, effective_date, looked_up_at FROM verdicts "
      "WHERE standard = ? AND site = ? AND prefix = ? AND looked_up_at <= ? "
      "ORDER BY looked_up_at DESC, id DESC LIMIT 2",
      find);
  if (status) {
    Failed(*status);
    return std::nullopt;
  }
  find.Bind(1, std::string_view(standard))
      .BindText(2, site.name)
      .Bind(3, std::string_view(site.prefix))
      .BindText(4, now.looked_up_at);
  std::optional<VerdictSeen> before;
  bool skipped = false;
  while (find.Step(status)) {
    VerdictSeen seen{static_cast<int>(find.Integer(0)), find.Bytes(1), find.Bytes(2),
                     find.Bytes(3)};
    // Told again, the lookup's own verdict is the latest: what came before is the next one.
    if (again && !skipped && seen.looked_up_at == now.looked_up_at) {
      skipped = true;
      continue;
    }
    before = std::move(seen);
    break;
  }
  find = sql::Statement();
  if (status) {
    Failed(*status);
    return std::nullopt;
  }
  if (!again) {
    sql::Statement insert;
    status = db_.Prepare(
        "INSERT INTO verdicts(site, prefix, standard, asked_at, looked_up_at, verdict, "
        "latest_number, effective_date) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
        insert);
    if (!status) {
      insert.BindText(1, site.name)
          .Bind(2, std::string_view(site.prefix))
          .Bind(3, std::string_view(standard))
          .Bind(4, clock_())
          .BindText(5, now.looked_up_at)
          .Bind(6, std::int64_t{now.verdict})
          .Bind(7, std::string_view(now.latest_number))
          .Bind(8, std::string_view(now.effective_date));
      status = insert.Run();
    }
    if (status) Failed(*status);
  }
  return before;
}

std::vector<PastLookup> LookupArchive::History(const Text& keyword) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<PastLookup> past;
  if (!db_.IsOpen()) return past;
  sql::Statement find;
  sql::Status status = db_.Prepare(
      "SELECT rows, site, page, read_at, http_status, error, kind, record_number, record_title, "
      "record_release_date, record_department, record_status FROM lookups WHERE keyword = ? "
      "ORDER BY asked_at DESC, id DESC",
      find);
  if (status) return past;
  find.Bind(1, std::string_view(keyword));
  while (find.Step(status)) {
    PastLookup one;
    // A damaged row shows as a lookup without rows: the history still lists it.
    UnpackRows(find.Bytes(0), one.listed);
    one.site = find.Bytes(1);
    one.keyword = keyword;
    one.page = static_cast<int>(find.Integer(2));
    one.read_at = find.Bytes(3);
    one.http_status = static_cast<int>(find.Integer(4));
    one.error = find.Bytes(5);
    one.kind = static_cast<PageKind>(find.Integer(6));
    one.record = {find.Bytes(7), find.Bytes(8), find.Bytes(9), find.Bytes(10), find.Bytes(11)};
    past.push_back(std::move(one));
  }
  return past;
}

std::optional<StandardLookup> RememberingLookupStore::Find(const Site& site, const Text& keyword,
                                                           int page) {
  if (std::optional<StandardLookup> known = batch_.Find(site, keyword, page)) return known;
  std::optional<StandardLookup> kept = archive_->FindFresh(site, keyword, page, max_age_);
  if (kept) batch_.Keep(site, keyword, page, *kept);
  return kept;
}

void RememberingLookupStore::Keep(const Site& site, const Text& keyword, int page,
                                  const StandardLookup& lookup) {
  batch_.Keep(site, keyword, page, lookup);
  if (!lookup.from_store) archive_->Keep(site, keyword, page, lookup);
}

std::optional<DetailLookup> RememberingLookupStore::FindDetail(const Text& address) {
  if (std::optional<DetailLookup> known = batch_.FindDetail(address)) return known;
  std::optional<DetailLookup> kept = archive_->FindFreshDetail(address, max_age_);
  if (kept) batch_.KeepDetail(*kept);
  return kept;
}

void RememberingLookupStore::KeepDetail(const DetailLookup& lookup) {
  batch_.KeepDetail(lookup);
  archive_->KeepDetail(lookup);
}

}  // namespace kelvaro
