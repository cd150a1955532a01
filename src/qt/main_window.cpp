#include "qt/main_window.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QTextCursor>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <limits>

#include "qt/dialog_seams.h"
#include "qt/result_table_model.h"
#include "rows/columns.h"
#include "window/window_texts.h"

namespace kelvaro {

namespace {

QString Shown(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The text boxes keep line breaks as "\n".
QString BoxText(const std::string& utf8) {
  QString shown = Shown(utf8);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

// The first local file or folder among a drag's addresses; empty when there is none.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

void MakeBlackOnWhite(QWidget* edit) {
  QPalette palette = edit->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, Qt::white);
    palette.setColor(group, QPalette::Text, Qt::black);
  }
  edit->setPalette(palette);
}

QWidget* MakeControl(const ControlSpec& spec, QWidget* parent) {
  const QString text = QString::fromUtf8(spec.text);
  switch (spec.kind) {
    case ControlKind::kButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);
      return button;
    }
    case ControlKind::kLabel: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      // Text starts at the top left, as a plain static text does, and is cut at the
      // label's edge rather than wrapped.
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setWordWrap(false);
      return label;
    }
    case ControlKind::kLineEdit: {
      auto* edit = new QLineEdit(text, parent);
      edit->setMaxLength(std::numeric_limits<int>::max());
      edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      MakeBlackOnWhite(edit);
      return edit;
    }
    case ControlKind::kMultiLineEdit: {
      auto* edit = new QPlainTextEdit(text, parent);
      edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      MakeBlackOnWhite(edit);
      return edit;
    }
    case ControlKind::kListView:
      return new QTreeView(parent);
    case ControlKind::kTab:
      return new QTabWidget(parent);
  }
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(ResultTableModel& model, MessagePump& pump, QString program_directory,
                       QWidget* parent)
    : QWidget(parent) {
  setWindowTitle(QString::fromUtf8(WindowTitle()));
  // Title bar with system menu, minimise and close boxes; no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls(model);
  model.SetView(result_view());

  logic_ = std::make_unique<WindowLogic>(static_cast<WindowView&>(*this), model.table(), pump,
                                         program_directory.toStdString());
  for (const ControlSpec& spec : Layout()) {
    if (auto* button = qobject_cast<QPushButton*>(control(spec.id))) {
      connect(button, &QPushButton::clicked, this,
              [this, id = spec.id](bool) { logic_->Clicked(id); });
    }
  }
  connect(control_as<QLineEdit>(kNumberBox), &QLineEdit::returnPressed, this,
          [this] { logic_->NumberBoxEntered(); });
  connect(&progress_timer_, &QTimer::timeout, this, [this] { logic_->OnTimer(); });
  connect(result_view()->header(), &QHeaderView::sectionClicked, this,
          [this](int section) { logic_->HeaderClicked(section); });

  // Escape closes the window whichever control has the focus.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { close(); });

  CentreOnPrimaryScreen();
  // The window and all its controls exist: its creation is complete.
  logic_->Created();
}

MainWindow::~MainWindow() {
  if (QTreeView* view = result_view()) {
    view->viewport()->removeEventFilter(this);
    view->removeEventFilter(this);
  }
}

void MainWindow::CreateControls(ResultTableModel& model) {
  auto* tab = static_cast<QTabWidget*>(MakeControl(FindControl(kTabControl), this));
  controls_[kTabControl] = tab;
  for (int page : {kQueryPage, kBatchPage}) {
    pages_[page] = new QWidget();
    pages_[page]->setObjectName(QStringLiteral("page%1").arg(page));
    tab->addTab(pages_[page], QString::fromUtf8(PageTitle(page)));
  }
  tab->setCurrentIndex(kQueryPage);
  for (const ControlSpec& spec : Layout()) {
    QWidget* widget = spec.kind == ControlKind::kTab
                          ? tab
                          : MakeControl(spec, spec.page == kOnWindow ? this : pages_[spec.page]);
    widget->setObjectName(QString::fromUtf8(spec.name));
    controls_[spec.id] = widget;
    if (spec.page == kOnWindow) widget->setGeometry(spec.left, spec.top, spec.width, spec.height);
  }
  SetUpResultView(result_view(), model);
  // Layout order: earlier controls lie above later ones with the same parent.
  const auto& layout = Layout();
  for (auto it = layout.rbegin(); it != layout.rend(); ++it) control(it->id)->raise();
  // The pages' place inside the tab control is known once the tab control has laid
  // itself out; follow it whenever it changes.
  if (QWidget* stack = pages_[kQueryPage]->parentWidget()) stack->installEventFilter(this);
  PlacePageControls();
}

void MainWindow::SetUpResultView(QTreeView* view, ResultTableModel& model) {
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setExpandsOnDoubleClick(false);
  view->setUniformRowHeights(true);
  view->setSortingEnabled(false);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAlternatingRowColors(false);
  view->setAllColumnsShowFocus(true);
  view->setHeaderHidden(false);
  QPalette palette = view->palette();
  palette.setColor(QPalette::Base, Qt::white);
  view->setPalette(palette);
  view->setModel(&model);
  QHeaderView* header = view->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setSortIndicatorShown(false);
  // The window logic sorts; the header only tells it of the click and shows its order.
  header->setSectionsClickable(true);
  for (std::size_t column = 0; column < ShownColumns().size(); ++column) {
    header->setSectionResizeMode(static_cast<int>(column), QHeaderView::Interactive);
    header->resizeSection(static_cast<int>(column), ShownColumns()[column]->width);
  }
  view->viewport()->installEventFilter(this);
  view->viewport()->setAcceptDrops(true);
  view->installEventFilter(this);
  MakeTableMenu();
}

QWidget* MainWindow::control(ControlId id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QTabWidget* MainWindow::tab_control() const { return control_as<QTabWidget>(kTabControl); }

QWidget* MainWindow::page(int page) const {
  return page == kQueryPage || page == kBatchPage ? pages_[page] : nullptr;
}

QTreeView* MainWindow::result_view() const { return control_as<QTreeView>(kResultList); }

QAction* MainWindow::table_action(TableCommand command) const {
  const auto it = table_actions_.find(command);
  return it == table_actions_.end() ? nullptr : it->second;
}

void MainWindow::MakeTableMenu() {
  table_menu_ = new QMenu(this);
  table_menu_->setObjectName(QStringLiteral("table_menu"));
  for (const MenuItem& item : TableMenu()) {
    if (item.command == TableCommand::kNone) {
      table_menu_->addSeparator();
      continue;
    }
    QAction* action = table_menu_->addAction(QString::fromUtf8(item.text));
    // Shown in the menu; the table's key filter does the copying (the view would copy the
    // current cell alone).
    if (item.shortcut != nullptr)
      action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
    connect(action, &QAction::triggered, this,
            [this, command = item.command](bool) { logic_->RunTableCommand(command); });
    table_actions_[item.command] = action;
  }
  // Disabled only while the menu shows: the keys must work afterwards.
  connect(table_menu_, &QMenu::aboutToHide, this, [this] {
    for (auto& [command, action] : table_actions_) action->setEnabled(true);
  });
  QTreeView* view = result_view();
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& point) {
    // The menu's row is the one under the pointer.
    const QModelIndex cell = view->indexAt(point);
    if (cell.isValid()) view->setCurrentIndex(cell);
    for (auto& [command, action] : table_actions_) {
      action->setEnabled(logic_->IsCommandEnabled(command));
    }
    table_menu_->popup(view->viewport()->mapToGlobal(point));
  });
}

bool MainWindow::TableViewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DroppedFile(drag->mimeData()).isEmpty()) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = DroppedFile(drop->mimeData());
      if (path.isEmpty()) return false;
      drop->acceptProposedAction();
      // After the drop has ended: a folder takes a while to read, and the program it was
      // dragged from waits for the drop's end.
      QTimer::singleShot(0, this, [this, path] { logic_->ImportDropped(path.toStdString()); });
      return true;
    }
    case QEvent::MouseButtonDblClick: {
      const QPoint point = static_cast<QMouseEvent*>(event)->position().toPoint();
      logic_->CopyCellOnDoubleClick(point.x(), point.y());
      return false;
    }
    default:
      return false;
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closing_done_) {
    closing_done_ = true;
    progress_timer_.stop();
    logic_->Closing();
  }
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  QTreeView* view = result_view();
  if (view != nullptr && watched == view->viewport() && TableViewportEvent(event)) return true;
  // Ctrl+C in the table copies the selected row, Ctrl+V imports the clipboard's text.
  if (view != nullptr && watched == view &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool copy = key->matches(QKeySequence::Copy);
    if (copy || key->matches(QKeySequence::Paste)) {
      if (event->type() == QEvent::KeyPress) copy ? logic_->CopySelectedRow() : logic_->Paste();
      event->accept();
      return true;
    }
  }
  if (watched == pages_[kQueryPage]->parentWidget() &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    PlacePageControls();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::PlacePageControls() {
  QWidget* tab = control(kTabControl);
  for (const ControlSpec& spec : Layout()) {
    if (spec.page == kOnWindow) continue;
    QWidget* widget = control(spec.id);
    const QPoint offset = widget->parentWidget()->mapTo(tab, QPoint(0, 0));
    const QRect rect = QRect(spec.left, spec.top, spec.width, spec.height).translated(-offset);
    widget->setGeometry(rect);
    // A label whose top lies under the tab bar starts its text where the page begins.
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setContentsMargins(0, std::max(0, -rect.top()), 0, 0);
    }
  }
}

void MainWindow::CentreOnPrimaryScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  setGeometry(area.x() + (area.width() - kClientWidth) / 2,
              area.y() + (area.height() - kClientHeight) / 2, kClientWidth, kClientHeight);
}

bool MainWindow::IsOpen() const { return !closing_done_; }

void MainWindow::SetTitle(const std::string& title) { setWindowTitle(Shown(title)); }

std::string MainWindow::ControlText(ControlId id) const {
  if (auto* line = control_as<QLineEdit>(id)) return line->text().toStdString();
  if (auto* box = control_as<QPlainTextEdit>(id)) return box->toPlainText().toStdString();
  return {};
}

void MainWindow::SetControlText(ControlId id, const std::string& text) {
  if (auto* line = control_as<QLineEdit>(id)) line->setText(Shown(text));
  if (auto* box = control_as<QPlainTextEdit>(id)) box->setPlainText(BoxText(text));
}

void MainWindow::AppendControlText(ControlId id, const std::string& text) {
  auto* box = control_as<QPlainTextEdit>(id);
  if (box == nullptr) return;
  // At the very end (no line break of its own), the caret brought into view.
  box->moveCursor(QTextCursor::End);
  box->insertPlainText(BoxText(text));
  box->moveCursor(QTextCursor::End);
  box->ensureCursorVisible();
}

void MainWindow::EnableControl(ControlId id, bool enabled) {
  if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

void MainWindow::SetToolTip(ControlId id, const std::string& text) {
  if (QWidget* widget = control(id)) widget->setToolTip(Shown(text));
}

void MainWindow::ShowError(const std::string& caption, const std::string& text) {
  ReportError(this, Shown(caption), Shown(text));
}

void MainWindow::ShowNotice(const std::string& caption, const std::string& text) {
  ReportNotice(this, Shown(caption), Shown(text));
}

bool MainWindow::Confirm(const std::string& caption, const std::string& text) {
  return AskToConfirm(this, Shown(caption), Shown(text));
}

std::optional<std::string> MainWindow::AskText(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& initial) {
  const std::optional<QString> text =
      AskForText(this, Shown(caption), Shown(prompt), Shown(initial));
  if (!text.has_value()) return std::nullopt;
  return text->toStdString();
}

std::optional<std::string> MainWindow::ChooseFileToOpen(const std::string& directory,
                                                        const std::string& last_file) {
  const std::optional<QString> chosen =
      kelvaro::ChooseFileToOpen(this, Shown(directory), Shown(last_file));
  if (!chosen.has_value()) return std::nullopt;
  return chosen->toStdString();
}

std::optional<std::string> MainWindow::AskFolder(const std::string& caption,
                                                 const std::string& directory) {
  const std::optional<QString> chosen = ChooseFolder(this, Shown(caption), Shown(directory));
  if (!chosen.has_value()) return std::nullopt;
  return chosen->toStdString();
}

std::optional<std::string> MainWindow::ChooseFileToSave(const std::string& suggested_path) {
  const std::optional<QString> chosen = kelvaro::ChooseFileToSave(this, Shown(suggested_path));
  if (!chosen.has_value()) return std::nullopt;
  return chosen->toStdString();
}

void MainWindow::PutOnClipboard(const std::string& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(Shown(text), QClipboard::Clipboard);
  }
}

std::string MainWindow::ClipboardText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard == nullptr ? std::string() : clipboard->text().toStdString();
}

int MainWindow::SelectedRow() const {
  const QModelIndex current = result_view()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

bool MainWindow::OpenUrl(const std::string& url) {
  // Already escaped: parsed again it would be escaped twice.
  return OpenInBrowser(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

void MainWindow::StartTimer(int interval_ms) {
  progress_timer_.setInterval(interval_ms);
  if (!progress_timer_.isActive()) progress_timer_.start();
}

void MainWindow::StopTimer() { progress_timer_.stop(); }

}  // namespace kelvaro
