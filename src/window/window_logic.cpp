#include "window/window_logic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "document/readers/read_document.h"
#include "document/writers/xlsx_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "query/changes.h"
#include "query/marking.h"
#include "query/report.h"
#include "rows/export.h"
#include "rows/import.h"
#include "rows/reason.h"
#include "rows/row_store.h"
#include "rows/verdicts.h"
#include "site/site_settings.h"
#include "text/encoding.h"
#include "text/text.h"
#include "window/window_texts.h"

namespace kelvaro {

std::string ImportStartDirectory(const std::string& program_directory) {
  if (platform::IsWritableDirectory(program_directory)) return program_directory;
  const std::string home = platform::HomeDirectory();
  return home.empty() ? program_directory : home;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

namespace {

// "a/设计说明.docx" -> "设计说明".
std::string StemOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

bool EndsWithCsv(const std::string& path) { return LowerAscii(path).ends_with(".csv"); }

// "a/b/" -> "a/b", either separator; a root ("/", "C:\\") stays as it is.
std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') &&
         path[path.size() - 2] != ':') {
    path.pop_back();
  }
  return path;
}

// Whether `path` is `folder` or lies under it, by their names.
bool IsWithin(const std::string& path, const std::string& folder) {
  const std::string inner = WithoutTrailingSeparators(path);
  const std::string outer = WithoutTrailingSeparators(folder);
  if (inner == outer) return true;
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  // A root keeps its separator: everything else is below it.
  return inner.size() > outer.size() && inner.starts_with(outer) &&
         (separator(outer.back()) || separator(inner[outer.size()]));
}

// How long the window thread waits between looks at work off its thread.
constexpr int kOffThreadPollUs = 50'000;

}  // namespace

WindowLogic::WindowLogic(WindowView& view, WindowTable& table, MessagePump& pump,
                         std::string program_directory)
    : view_(view),
      table_(table),
      pump_(pump),
      program_directory_(std::move(program_directory)),
      settings_file_(platform::SettingsFilePath()) {}

WindowLogic::~WindowLogic() {
  // Workers left running hold the session: it ends with the process.
  if (!ended_cleanly_) (void)session_.release();
}

void WindowLogic::SetSite(const Site& site) {
  site_ = site;
  if (session_) session_->SetSite(site);
}

void WindowLogic::Created() {
  session_ = std::make_unique<BatchSession>(table_, pump_, site_);
  progress_ = std::make_unique<BatchProgress>(*session_);
}

void WindowLogic::Clicked(ControlId id) {
  switch (id) {
    case kSingleQueryButton:
      ShowSingleQueryReport();
      break;
    case kImportButton:
      ImportNumbers();
      break;
    case kBatchQueryButton:
      StartBatchQuery();
      break;
    default:
      // The removal buttons, by the verdicts that name them.
      for (const VerdictSpec& spec : Verdicts()) {
        if (spec.removal_button != nullptr &&
            std::string_view(spec.removal_button) == FindControl(id).name) {
          RemoveRowsWithStatus(spec.verdict);
        }
      }
      break;
  }
}

void WindowLogic::NumberBoxEntered() {
  if (!single_query_running_) ShowSingleQueryReport();
}

void WindowLogic::ShowSingleQueryReport() {
  if (!session_ || !view_.IsOpen() || single_query_running_) return;
  view_.SetControlText(kReportBox, "\r\n");
  const Text number = Utf8ToGbk(view_.ControlText(kNumberBox));
  // The request runs off this thread while the pump dispatches: the window keeps painting.
  single_query_running_ = true;
  view_.EnableControl(kSingleQueryButton, false);
  const std::optional<SingleQueryResult> ran = session_->RunSingleQuery(number);
  single_query_running_ = false;
  if (!view_.IsOpen()) return;  // closed meanwhile
  view_.EnableControl(kSingleQueryButton, true);
  if (!ran.has_value()) return;
  for (const Text& entry : SingleQueryEntries(*ran)) {
    view_.AppendControlText(kReportBox, GbkToUtf8(entry));
  }
}

std::string WindowLogic::DialogDirectory() const {
  return last_file_.empty() ? ImportStartDirectory(program_directory_) : DirectoryOf(last_file_);
}

void WindowLogic::ImportNumbers() {
  if (!view_.IsOpen()) return;
  const std::optional<std::string> chosen = view_.ChooseFileToOpen(DialogDirectory(), last_file_);
  if (!chosen.has_value()) return;  // cancelled: the table stays as it was
  ImportFile(*chosen);
}

void WindowLogic::ImportFile(const std::string& path) {
  if (!view_.IsOpen()) return;
  last_file_ = path;
  ImportError why;
  // A file that cannot be read leaves the rows as they were, and the user learns why.
  if (ImportNumbersFromFile(table_, path, &why)) {
    rows_file_ = path;
    rows_folder_.clear();
    imported_rows_ = table_.RowCount();
    pending_mark_.reset();
  } else {
    view_.ShowError(kErrorCaption, ReadErrorText(path, ImportErrorWords(why)));
  }
  UpdateRetryHint();
}

void WindowLogic::ImportDropped(const std::string& path) {
  if (platform::IsFolder(path)) {
    ImportFolder(path);
  } else {
    ImportFile(path);
  }
}

void WindowLogic::ChooseFolderToImport() {
  if (!view_.IsOpen() || folder_work_running_) return;
  const std::optional<std::string> chosen =
      view_.AskFolder(kImportFolderCaption, DialogDirectory());
  if (!chosen.has_value()) return;
  ImportFolder(*chosen);
}

template <typename Work, typename Tick>
void WindowLogic::RunOffWindowThread(Work work, Tick tick) {
  std::atomic<bool> done{false};
  const auto run = [&] {
    work();
    done.store(true);
    pump_.WakeUp();
  };
  std::thread worker;
  try {
    worker = std::thread(run);
  } catch (const std::system_error&) {
    run();  // no thread to be had: the window waits meanwhile
  }
  // What arrived meanwhile (a close among it) is dispatched at least once before the result
  // is used.
  do {
    tick();
    pump_.PumpingWait(kOffThreadPollUs);
  } while (!done.load());
  if (worker.joinable()) worker.join();
  tick();
}

void WindowLogic::ImportFolder(const std::string& path) {
  // A second import while one reads would replace the rows twice over.
  if (!view_.IsOpen() || folder_work_running_) return;
  const std::string folder = WithoutTrailingSeparators(path);
  last_file_ = folder;
  folder_work_running_ = true;
  folder_stop_.store(false);
  FolderListing listing;
  FolderRows read;
  std::string error;
  bool listed = false;
  std::atomic<int> total{-1};
  std::atomic<int> documents_read{0};
  std::string shown;
  RunOffWindowThread(
      [&] {
        listed = ListFolderDocuments(folder, listing, error);
        if (!listed) return;
        total.store(static_cast<int>(listing.documents.size()));
        pump_.WakeUp();
        RowsFromFolder(
            listing, read,
            [&](int count) {
              documents_read.store(count);
              pump_.WakeUp();
            },
            &folder_stop_);
      },
      [&] {
        if (!view_.IsOpen()) folder_stop_.store(true);
        if (folder_stop_.load() || total.load() < 0) return;
        std::string title = ReadingDocumentsTitle(documents_read.load(), total.load());
        if (title == shown) return;
        shown = std::move(title);
        view_.SetTitle(shown);
      });
  folder_work_running_ = false;
  if (!view_.IsOpen() || folder_stop_.load()) return;
  // A batch running meanwhile puts its own progress back at its next tick.
  if (!shown.empty()) view_.SetTitle(WindowTitle());
  if (!listed) {
    view_.ShowError(kErrorCaption, ReadErrorText(folder, error));
    return;
  }
  // The listing's own notes come first among them.
  const std::vector<std::string>& notes = read.notes;
  if (read.rows.empty()) {
    view_.ShowError(kErrorCaption, NothingInFolderText(folder, notes));
    return;
  }
  // Looked-up rows cost the site's time and may hold an afternoon's work.
  const int looked_up = RowsWithResults();
  if (looked_up > 0 && !view_.Confirm(kConfirmCaption, FolderReplaceResultsText(looked_up))) return;
  if (!view_.IsOpen()) return;
  imported_rows_ = FillTable(table_, read.rows);
  rows_file_ = folder;
  rows_folder_ = std::move(listing.documents);
  pending_mark_.reset();
  UpdateRetryHint();
  if (!notes.empty()) view_.ShowNotice(kNoticeCaption, FolderNotesText(notes));
}

template <typename Run>
void WindowLogic::RunBatchWithProgress(int rows, Run run) {
  progress_->Begin(rows);
  view_.StartTimer(kProgressIntervalMs);
  UpdateProgress();
  run();
  progress_->End();
  // The last workers may still run: the timer puts the title back once they are done.
  UpdateProgress();
}

void WindowLogic::StartBatchQuery() {
  if (!session_ || !view_.IsOpen()) return;
  const Text speed = Utf8ToGbk(view_.ControlText(kSpeedBox));
  RunBatchWithProgress(table_.RowCount(), [&] { session_->StartBatchQuery(speed); });
}

void WindowLogic::RequeryFailedRows() {
  if (!session_ || !view_.IsOpen()) return;
  std::vector<RowId> failed = FailedRows(table_);
  if (failed.empty()) return;
  const Text speed = Utf8ToGbk(view_.ControlText(kSpeedBox));
  RunBatchWithProgress(static_cast<int>(failed.size()),
                       [&] { session_->QueryRows(speed, std::move(failed), StoreUse::kAskSite); });
}

void WindowLogic::RequeryAllRows() {
  if (!session_ || !view_.IsOpen() || BatchActive()) return;
  std::vector<RowId> all;
  for (const RowStore::Row& row : table_.Snapshot()) all.push_back(row.id);
  if (all.empty()) return;
  const Text speed = Utf8ToGbk(view_.ControlText(kSpeedBox));
  RunBatchWithProgress(static_cast<int>(all.size()),
                       [&] { session_->QueryRows(speed, std::move(all), StoreUse::kAskSite); });
}

void WindowLogic::UseStore(const std::string& path) {
  if (!session_) return;
  std::string warning;
  session_->UseArchive(LookupArchive::Open(path, warning));
  if (!warning.empty() && view_.IsOpen())
    view_.ShowNotice(kNoticeCaption, StoreWarningText(warning));
}

void WindowLogic::RemoveRowsWithStatus(Verdict verdict) {
  if (session_) session_->RemoveRowsWithStatus(StatusWord(verdict));
}

void WindowLogic::OnTimer() { UpdateProgress(); }

void WindowLogic::UpdateProgress() {
  if (!progress_ || !progress_->Active() || !view_.IsOpen()) return;
  if (progress_->Finish()) {
    view_.StopTimer();
    const std::optional<int> left = session_ ? session_->RowsLeftAfterRefusals() : std::nullopt;
    view_.SetTitle(left.has_value() ? RefusalTitle(*left) : std::string(WindowTitle()));
    UpdateRetryHint();
    if (pending_mark_.has_value()) {
      const PendingMark mark = std::move(*pending_mark_);
      pending_mark_.reset();
      if (mark.folder) {
        WriteMarkedFolder(mark.target, mark.replace);
      } else {
        WriteMarkedCopy(mark.source, mark.target, mark.replace);
      }
    }
    return;
  }
  view_.SetTitle(ProgressTitle(progress_->Done(), progress_->Total()));
}

void WindowLogic::UpdateRetryHint() {
  if (!view_.IsOpen()) return;
  view_.SetToolTip(
      kBatchQueryButton,
      BatchQueryToolTip(VerdictsOf(table_), static_cast<int>(SiteFailedRows(table_).size())));
}

void WindowLogic::CopyCellOnDoubleClick(int x, int y) {
  const CellHit hit = table_.HitTestCell(x, y);
  // A miss copies nothing: emptying the clipboard would destroy what the user had copied.
  if (hit.row < 0 || hit.column < 0) return;
  view_.PutOnClipboard(table_.GetCellUtf8(hit.row, hit.column));
}

void WindowLogic::HeaderClicked(int column) {
  const RowOrder now = table_.order();
  RowOrder next{column, false};
  if (now.column == column) next = now.descending ? RowOrder{} : RowOrder{column, true};
  table_.SetOrder(next);
}

bool WindowLogic::IsCommandEnabled(TableCommand command) const {
  switch (command) {
    case TableCommand::kCopyRow:
      return view_.SelectedRow() >= 0;
    case TableCommand::kImportOrder:
      return table_.order() != RowOrder{};
    case TableCommand::kExportMarked:
      if (folder_work_running_ || BatchActive()) return false;
      return !rows_folder_.empty() || (!rows_file_.empty() && CanMark(DocumentKindOf(rows_file_)));
    case TableCommand::kExportReplaced:
      if (folder_work_running_ || BatchActive()) return false;
      // Only a Word copy takes replacements; a workbook gains a sheet and nothing else.
      return !rows_folder_.empty() ||
             (!rows_file_.empty() && DocumentKindOf(rows_file_) == DocumentKind::kDocx);
    case TableCommand::kImportFolder:
      return !folder_work_running_;
    case TableCommand::kSiteAddress:
      // A batch's rows are asked of one site: the next batch takes the new address.
      return !session_ || !session_->IsRunning();
    case TableCommand::kExportChanges:
      return table_.RowCount() > 0;
    case TableCommand::kRequeryAll:
      return table_.RowCount() > 0 && !BatchActive();
    case TableCommand::kOpenSearchPage: {
      const std::optional<TableRow> row = table_.ShownRow(view_.SelectedRow());
      return row.has_value() && !RowSearchAddress(site_, *row).empty();
    }
    default:
      return true;
  }
}

void WindowLogic::RunTableCommand(TableCommand command) {
  switch (command) {
    case TableCommand::kCopyRow:
      CopySelectedRow();
      break;
    case TableCommand::kCopyAll:
      CopyAllRows();
      break;
    case TableCommand::kPaste:
      Paste();
      break;
    case TableCommand::kExportCsv:
      ExportCsv();
      break;
    case TableCommand::kExportXlsx:
      ExportXlsx();
      break;
    case TableCommand::kRequeryFailed:
      RequeryFailedRows();
      break;
    case TableCommand::kRequeryAll:
      RequeryAllRows();
      break;
    case TableCommand::kImportOrder:
      table_.SetOrder({});
      break;
    case TableCommand::kExportMarked:
      ExportMarkedDocument();
      break;
    case TableCommand::kExportReplaced:
      ExportMarkedDocument(true);
      break;
    case TableCommand::kSiteAddress:
      ChangeSiteAddress();
      break;
    case TableCommand::kExportChanges:
      ExportChanges();
      break;
    case TableCommand::kOpenSearchPage:
      OpenSearchPage();
      break;
    case TableCommand::kImportFolder:
      ChooseFolderToImport();
      break;
    case TableCommand::kNone:
      break;
  }
}

void WindowLogic::CopySelectedRow() {
  const int selected = view_.SelectedRow();
  if (selected < 0) return;  // nothing chosen: the clipboard keeps what it had
  const std::vector<RowStore::Row> rows = table_.Snapshot();
  if (selected >= static_cast<int>(rows.size())) return;
  view_.PutOnClipboard(
      PlainTextRow(rows[static_cast<std::size_t>(selected)], {.sources = AnyFromDocument(rows)}));
}

void WindowLogic::CopyAllRows() {
  const std::vector<RowStore::Row> rows = table_.Snapshot();
  view_.PutOnClipboard(PlainTextTable(rows, "\n", {.sources = AnyFromDocument(rows)}));
}

void WindowLogic::Paste() {
  if (!view_.IsOpen()) return;
  const std::string text = view_.ClipboardText();
  // Tens of megabytes of citations would hold the window for many seconds and gigabytes.
  if (text.size() > kMaxPasteBytes) {
    view_.ShowError(kErrorCaption, kPasteTooLarge);
    return;
  }
  const std::vector<ImportedRow> rows = PastedRows(text);
  if (rows.empty()) {
    view_.ShowError(kErrorCaption, kNothingToPaste);
    return;
  }
  // Looked-up rows cost the site's time and may hold an afternoon's work.
  const int looked_up = RowsWithResults();
  if (looked_up > 0 && !view_.Confirm(kConfirmCaption, ReplaceResultsText(looked_up))) return;
  if (!view_.IsOpen()) return;
  imported_rows_ = FillTable(table_, rows);
  rows_file_.clear();
  rows_folder_.clear();
  pending_mark_.reset();
  UpdateRetryHint();
}

int WindowLogic::RowsWithResults() const {
  int count = 0;
  for (const Verdict verdict : VerdictsOf(table_)) count += verdict != Verdict::kNone ? 1 : 0;
  return count;
}

void WindowLogic::ShowSaved(const std::string& path, std::size_t cells_cut) {
  std::string text = SavedText(path);
  if (cells_cut > 0) text.append("\n").append(CellsCutText(cells_cut));
  view_.ShowNotice(kNoticeCaption, text);
}

template <typename Contents>
std::optional<std::string> WindowLogic::Export(const char* extension, Contents contents) {
  return ExportAs(
      std::string(kExportBaseName).append(".").append(extension),
      [&](const std::vector<RowStore::Row>& rows, const std::string&) { return contents(rows); });
}

template <typename Contents>
std::optional<std::string> WindowLogic::ExportAs(const std::string& name, Contents contents) {
  if (!view_.IsOpen()) return std::nullopt;
  const std::optional<std::string> chosen =
      view_.ChooseFileToSave(platform::JoinPath(DialogDirectory(), name));
  if (!chosen.has_value()) return std::nullopt;
  const auto data = contents(table_.Snapshot(), *chosen);
  if (data.empty()) return std::nullopt;
  std::string reason;
  if (!platform::WriteWholeFile(
          *chosen, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
          reason)) {
    view_.ShowError(kErrorCaption, WriteErrorText(*chosen));
    return std::nullopt;
  }
  return chosen;
}

void WindowLogic::ExportCsv() {
  const std::optional<std::string> written =
      Export("csv", [](const std::vector<RowStore::Row>& rows) {
        return FormatCsv(rows, {.sources = AnyFromDocument(rows)});
      });
  if (written.has_value()) ShowSaved(*written);
}

void WindowLogic::ExportXlsx() {
  // Said before the dialog: no file chosen for a workbook that cannot hold the rows.
  const auto rows = static_cast<std::size_t>(table_.RowCount());
  if (view_.IsOpen() && rows > kXlsxMaxRows) {
    view_.ShowError(kErrorCaption, TooManyRowsText(rows));
    return;
  }
  std::size_t cells_cut = 0;
  const std::optional<std::string> written =
      Export("xlsx", [&](const std::vector<RowStore::Row>& table) {
        XlsxWorkbook workbook = FormatWorkbook(table, WorkbookPrintInfo(table, rows_file_, site_));
        // Rows may have come while the dialog was up.
        if (workbook.bytes.empty()) view_.ShowError(kErrorCaption, TooManyRowsText(table.size()));
        cells_cut = workbook.cells_cut;
        return std::move(workbook.bytes);
      });
  if (written.has_value()) ShowSaved(*written, cells_cut);
}

bool WindowLogic::BatchActive() const {
  return (session_ && session_->IsRunning()) || (progress_ && progress_->Active());
}

bool WindowLogic::GoOnWithoutRemovedRows() {
  const int removed = imported_rows_ - table_.RowCount();
  return removed <= 0 || view_.Confirm(kConfirmCaption, RemovedRowsText(removed));
}

void WindowLogic::ExportMarkedDocument(bool replace) {
  const TableCommand command =
      replace ? TableCommand::kExportReplaced : TableCommand::kExportMarked;
  if (!session_ || !view_.IsOpen() || !IsCommandEnabled(command)) return;
  if (!rows_folder_.empty()) {
    ExportMarkedFolder(replace);
    return;
  }
  if (!GoOnWithoutRemovedRows() || !view_.IsOpen()) return;
  const std::string source = rows_file_;
  const std::optional<std::string> chosen = view_.ChooseFileToSave(MarkedCopyName(source, replace));
  if (!chosen.has_value()) return;
  if (WritesOver(source, *chosen)) {
    view_.ShowError(kErrorCaption, kMarkedOverOriginal);
    return;
  }
  // A document whose copy would be refused is said so before any lookup.
  Bytes original;
  std::string reason;
  if (!platform::ReadWholeFile(source, original, reason)) {
    view_.ShowError(kErrorCaption, ReadErrorText(source, reason));
    return;
  }
  if (DocumentError why = DocumentError::kNone;
      !CanMarkDocument(original, DocumentKindOf(source), why)) {
    view_.ShowError(kErrorCaption, MarkErrorText(DocumentErrorWords(why)));
    return;
  }
  original = {};
  std::vector<RowId> unchecked;
  for (const TableRow& row : table_.Snapshot()) {
    if (row.judgement.verdict == Verdict::kNone) unchecked.push_back(row.id);
  }
  if (unchecked.empty()) {
    WriteMarkedCopy(source, *chosen, replace);
    return;
  }
  // Written once the last lookup has ended (UpdateProgress), unless the rows change first.
  pending_mark_ = PendingMark{source, *chosen, replace};
  const Text speed = Utf8ToGbk(view_.ControlText(kSpeedBox));
  RunBatchWithProgress(static_cast<int>(unchecked.size()),
                       [&] { session_->QueryRows(speed, std::move(unchecked)); });
}

void WindowLogic::ExportMarkedFolder(bool replace) {
  if (!GoOnWithoutRemovedRows() || !view_.IsOpen()) return;
  const std::optional<std::string> chosen =
      view_.AskFolder(kMarkedFolderCaption, DirectoryOf(rows_file_));
  if (!chosen.has_value() || !view_.IsOpen()) return;
  const std::string target = WithoutTrailingSeparators(*chosen);
  // Copies among the originals would be read again by the folder's next import.
  if (IsWithin(target, rows_file_)) {
    view_.ShowError(kErrorCaption, kMarkedFolderInside);
    return;
  }
  // A new folder: nothing of the user's is written over.
  std::vector<platform::FolderEntry> entries;
  std::string reason;
  if (platform::PathExists(target) &&
      (!platform::ListFolder(target, entries, reason) || !entries.empty())) {
    view_.ShowError(kErrorCaption, kMarkedFolderNotEmpty);
    return;
  }
  std::vector<RowId> unchecked;
  for (const TableRow& row : table_.Snapshot()) {
    if (row.judgement.verdict == Verdict::kNone) unchecked.push_back(row.id);
  }
  if (unchecked.empty()) {
    WriteMarkedFolder(target, replace);
    return;
  }
  pending_mark_ = PendingMark{rows_file_, target, replace, true};
  const Text speed = Utf8ToGbk(view_.ControlText(kSpeedBox));
  RunBatchWithProgress(static_cast<int>(unchecked.size()),
                       [&] { session_->QueryRows(speed, std::move(unchecked)); });
}

void WindowLogic::WriteMarkedFolder(const std::string& target, bool replace) {
  if (!view_.IsOpen() || folder_work_running_) return;
  folder_work_running_ = true;
  const std::vector<TableRow> rows = table_.Snapshot();
  const std::vector<FolderDocument> documents = rows_folder_;
  const std::string time = platform::UtcTimeText();
  FolderMarks marks;
  std::string reason;
  bool made = false;
  // Thirty documents take seconds to mark: the window paints meanwhile.
  RunOffWindowThread(
      [&] {
        made = platform::MakeDirectories(target, reason);
        if (made) marks = MarkFolderDocuments(documents, rows, target, replace, time);
      },
      [] {});
  folder_work_running_ = false;
  if (!view_.IsOpen()) return;
  if (!made) {
    view_.ShowError(kErrorCaption, WriteErrorText(target));
    return;
  }
  const std::string text = FolderMarkedText(target, marks.written, marks.notes);
  if (marks.failed > 0) {
    view_.ShowError(kErrorCaption, text);
  } else {
    view_.ShowNotice(kNoticeCaption, text);
  }
}

void WindowLogic::WriteMarkedCopy(const std::string& source, const std::string& target,
                                  bool replace) {
  if (!view_.IsOpen()) return;
  Bytes original;
  std::string reason;
  // Read again: the import keeps no copy of a document that may be large.
  if (!platform::ReadWholeFile(source, original, reason)) {
    view_.ShowError(kErrorCaption, ReadErrorText(source, reason));
    return;
  }
  Bytes marked;
  DocumentError why = DocumentError::kNone;
  if (!MarkDocument(original, DocumentKindOf(source), table_.Snapshot(), replace,
                    platform::UtcTimeText(), marked, why)) {
    view_.ShowError(kErrorCaption, MarkErrorText(DocumentErrorWords(why)));
    return;
  }
  if (!platform::WriteWholeFile(
          target, std::string_view(reinterpret_cast<const char*>(marked.data()), marked.size()),
          reason)) {
    view_.ShowError(kErrorCaption, WriteErrorText(target));
    return;
  }
  ShowSaved(target);
}

void WindowLogic::ExportChanges() {
  if (!IsCommandEnabled(TableCommand::kExportChanges) || !view_.IsOpen()) return;
  if (!GoOnWithoutRemovedRows()) return;
  const std::string name =
      (rows_file_.empty() ? std::string() : StemOf(rows_file_)) + kChangeListName + ".xlsx";
  std::size_t cells_cut = 0;
  const std::optional<std::string> written =
      ExportAs(name, [&](const std::vector<RowStore::Row>& rows, const std::string& chosen) {
        if (EndsWithCsv(chosen)) return FormatChanges(ChangeList(rows), ChangeFormat::kCsv);
        const XlsxSheet sheet = ChangeSheet(rows);
        const XlsxWorkbook workbook = WriteXlsx(sheet, WorkbookPrintInfo(rows, rows_file_, site_));
        if (workbook.bytes.empty())
          view_.ShowError(kErrorCaption, TooManyRowsText(sheet.rows.size()));
        cells_cut = workbook.cells_cut;
        return std::string(workbook.bytes.begin(), workbook.bytes.end());
      });
  if (written.has_value()) ShowSaved(*written, cells_cut);
}

void WindowLogic::OpenSearchPage() {
  if (!view_.IsOpen()) return;
  const std::optional<TableRow> row = table_.ShownRow(view_.SelectedRow());
  if (!row.has_value()) return;
  const std::string address = RowSearchAddress(site_, *row);
  if (address.empty()) return;
  if (!view_.OpenUrl(address)) view_.ShowError(kErrorCaption, OpenPageErrorText(address));
}

void WindowLogic::ChangeSiteAddress() {
  if (!view_.IsOpen() || !IsCommandEnabled(TableCommand::kSiteAddress)) return;
  const std::optional<std::string> given =
      view_.AskText(kSiteCaption, kSitePrompt, GbkToUtf8(site_.prefix));
  if (!given.has_value() || !view_.IsOpen()) return;
  const std::size_t first = given->find_first_not_of(" \t");
  const std::string address =
      first == std::string::npos ? std::string()
                                 : given->substr(first, given->find_last_not_of(" \t") - first + 1);
  if (const AddressProblem problem = CheckSiteAddress(address); problem != AddressProblem::kNone) {
    view_.ShowError(kErrorCaption, BadAddressText(address, problem));
    return;
  }
  // Checked addresses are ASCII: the same bytes in GBK. Kept without a user's password.
  SetSite(SiteAt(address, site_));
  const std::string prefix = site_.prefix;
  std::string reason;
  if (!SaveSettingsSiteAddress(settings_file_, prefix, reason)) {
    view_.ShowError(kErrorCaption,
                    WriteErrorText(settings_file_.empty() ? kNoSettingsFolder : settings_file_));
    return;
  }
  view_.ShowNotice(kNoticeCaption,
                   SiteSavedText(settings_file_, prefix, ResolveSite({}, settings_file_).prefix));
}

bool WindowLogic::Closing() {
  folder_stop_.store(true);
  if (session_) ended_cleanly_ = session_->EndAll(kCloseGrace) && ended_cleanly_;
  return ended_cleanly_;
}

bool WindowLogic::ProgramCleanup() {
  if (!session_) return ended_cleanly_;
  ended_cleanly_ = session_->EndAll(kCloseGrace) && ended_cleanly_;
  if (!ended_cleanly_) return false;
  progress_.reset();
  session_->runner().Destroy();
  session_.reset();
  return true;
}

}  // namespace kelvaro
