#include "window/window_logic.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "document/xlsx_writer.h"
#include "platform/files.h"
#include "query/changes.h"
#include "query/report.h"
#include "rows/export.h"
#include "rows/import.h"
#include "rows/reason.h"
#include "rows/row_store.h"
#include "rows/status.h"
#include "rows/verdicts.h"
#include "text/encoding.h"
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

WindowLogic::WindowLogic(WindowView& view, WindowTable& table, MessagePump& pump,
                         std::string program_directory)
    : view_(view), table_(table), pump_(pump), program_directory_(std::move(program_directory)) {}

WindowLogic::~WindowLogic() {
  // Workers left running hold the session: it ends with the process.
  if (!ended_cleanly_) (void)session_.release();
}

void WindowLogic::Created() {
  session_ = std::make_unique<BatchSession>(table_, pump_);
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
      // The removal buttons, by the statuses that name them.
      for (const StatusSpec& spec : Statuses()) {
        if (spec.removal_button != nullptr &&
            std::string_view(spec.removal_button) == FindControl(id).name) {
          RemoveRowsWithStatus(spec.status);
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
  std::string reason;
  // A file that cannot be read leaves the rows as they were, and the user learns why.
  if (!ImportNumbersFromFile(table_, path, &reason)) {
    view_.ShowError(kErrorCaption, ReadErrorText(path, reason));
  }
  UpdateRetryHint();
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
                       [&] { session_->QueryRows(speed, std::move(failed)); });
}

void WindowLogic::RemoveRowsWithStatus(Status status) {
  if (session_) session_->RemoveRowsWithStatus(StatusWord(status));
}

void WindowLogic::OnTimer() { UpdateProgress(); }

void WindowLogic::UpdateProgress() {
  if (!progress_ || !progress_->Active() || !view_.IsOpen()) return;
  if (progress_->Finish()) {
    view_.StopTimer();
    view_.SetTitle(WindowTitle());
    UpdateRetryHint();
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
    case TableCommand::kImportOrder:
      table_.SetOrder({});
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
      PlainTextRow(rows[static_cast<std::size_t>(selected)], AnyFromDocument(rows)));
}

void WindowLogic::CopyAllRows() {
  const std::vector<RowStore::Row> rows = table_.Snapshot();
  view_.PutOnClipboard(PlainTextTable(rows, "\n", AnyFromDocument(rows)));
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
  FillTable(table_, rows);
  UpdateRetryHint();
}

template <typename Contents>
bool WindowLogic::Export(const char* extension, Contents contents) {
  if (!view_.IsOpen()) return false;
  const std::string name = std::string(kExportBaseName).append(".").append(extension);
  const std::optional<std::string> chosen =
      view_.ChooseFileToSave(platform::JoinPath(DialogDirectory(), name));
  if (!chosen.has_value()) return false;
  const auto data = contents(table_.Snapshot());
  if (data.empty()) return false;
  std::string reason;
  if (!platform::WriteWholeFile(
          *chosen, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
          reason)) {
    view_.ShowError(kErrorCaption, WriteErrorText(*chosen));
    return false;
  }
  return true;
}

void WindowLogic::ExportCsv() {
  Export("csv", [](const std::vector<RowStore::Row>& rows) {
    return FormatCsv(rows, false, AnyFromDocument(rows));
  });
}

void WindowLogic::ExportXlsx() {
  // Said before the dialog: no file chosen for a workbook that cannot hold the rows.
  const auto rows = static_cast<std::size_t>(table_.RowCount());
  if (view_.IsOpen() && rows > kXlsxMaxRows) {
    view_.ShowError(kErrorCaption, TooManyRowsText(rows));
    return;
  }
  std::size_t cells_cut = 0;
  const bool written = Export("xlsx", [&](const std::vector<RowStore::Row>& table) {
    XlsxWorkbook workbook = FormatWorkbook(table);
    // Rows may have come while the dialog was up.
    if (workbook.bytes.empty()) view_.ShowError(kErrorCaption, TooManyRowsText(table.size()));
    cells_cut = workbook.cells_cut;
    return std::move(workbook.bytes);
  });
  if (written && cells_cut > 0) view_.ShowError(kNoticeCaption, CellsCutText(cells_cut));
}

bool WindowLogic::Closing() {
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
