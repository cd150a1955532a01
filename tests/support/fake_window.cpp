#include "support/fake_window.h"

#include <future>

#include "support/sites.h"
#include "text/encoding.h"

namespace kelvaro::test {

FakeView::FakeView() {
  for (const ControlSpec& spec : Layout()) texts[spec.id] = spec.text;
}

std::string FakeView::ControlText(ControlId id) const {
  const auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

std::optional<std::string> FakeView::ChooseFileToOpen(const std::string& directory,
                                                      const std::string& last_file) {
  open_asked.emplace_back(directory, last_file);
  if (during_open) during_open();
  return open_answer;
}

std::optional<std::string> FakeView::ChooseFileToSave(const std::string& suggested_path) {
  save_asked.push_back(suggested_path);
  return save_answer;
}

GridControl::GridControl(WindowTable& table, StdMessagePump& pump)
    : table_(table), pump_(pump), thread_(std::this_thread::get_id()) {
  table_.SetControl(this);
}

bool GridControl::RunOnWindowThread(const std::function<void()>& task) {
  std::promise<void> done;
  pump_.Post([&] {
    task();
    done.set_value();
  });
  pump_.WakeUp();
  done.get_future().wait();
  return true;
}

void GridControl::ScheduleSync() {
  pump_.Post([this] { table_.SyncView(); });
}

CellHit GridControl::HitTest(int x, int y) {
  if (x < 0 || y < 0) return {};
  return CellHit{y / 10, x / 100};
}

namespace {

std::string Folder(const TempDir& files) {
  std::string folder = files.File("");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

FakeWindow::FakeWindow(std::optional<std::string> program_directory)
    : logic(view, table, pump, program_directory.value_or(Folder(files))) {
  logic.SetSite(TestSite());
  // Never the user's own settings.
  logic.SetSettingsFile(files.File("config/kelvaro/settings.ini"));
  logic.Created();
}

FakeWindow::~FakeWindow() {
  view.open = false;
  logic.Closing();
  table.SetControl(nullptr);
}

bool FakeWindow::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pump.PumpingWait(5000);
    if (view.timer_ms > 0) logic.OnTimer();
  }
  return true;
}

bool FakeWindow::WaitForWorkers(std::chrono::milliseconds timeout) {
  return PumpUntil([this] { return !logic.session()->IsRunning(); }, timeout);
}

void FakeWindow::AddRow(const std::vector<std::string>& cells) {
  const int row = table.AppendRow(cells.empty() ? std::string() : cells[0]);
  for (std::size_t column = 1; column < cells.size(); ++column) {
    table.SetCellText(row, static_cast<int>(column), Utf8ToGbk(cells[column]));
  }
}

std::string FakeWindow::Cell(int row, int column) { return table.GetCellUtf8(row, column); }

std::vector<std::string> FakeWindow::Column(int column) {
  std::vector<std::string> cells;
  for (int row = 0; row < table.RowCount(); ++row) cells.push_back(Cell(row, column));
  return cells;
}

std::string FakeWindow::ImportBytes(const std::string& bytes, const std::string& name) {
  const std::string path = files.Write(name, bytes);
  view.open_answer = path;
  logic.Clicked(kImportButton);
  view.open_answer.reset();
  return path;
}

std::string FakeWindow::ImportLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return ImportBytes(bytes);
}

}  // namespace kelvaro::test
