#include "ui/main_window.h"

#include <QAction>
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
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace kelvaro {

namespace {

constexpr int kColumnWidths[] = {40, 200, 80, 200, 400};

const char kWindowTitle[] = "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468";

// The first local file among a drag's addresses; empty when there is none.
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

QLineEdit* MakeLineEdit(QWidget* parent, const char* name, const char* text) {
  auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
  edit->setObjectName(QString::fromUtf8(name));
  edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  MakeBlackOnWhite(edit);
  return edit;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  // Text starts at the top left, as a plain static text does, and is cut at the
  // label's edge rather than wrapped.
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(false);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MainWindow::MainWindow(QAbstractItemModel* model, QWidget* parent) : QWidget(parent) {
  setWindowTitle(base_title());
  // Title bar with system menu, minimise and close boxes; no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);

  tab_control_ = new QTabWidget(this);
  tab_control_->setObjectName(QString::fromUtf8("选择夹1"));
  tab_control_->setGeometry(3, 6, 917, 744);
  query_page_ = new QWidget();
  query_page_->setObjectName(QStringLiteral("page0"));
  batch_page_ = new QWidget();
  batch_page_->setObjectName(QStringLiteral("page1"));
  tab_control_->addTab(query_page_, QString::fromUtf8("查询"));
  tab_control_->addTab(batch_page_, QString::fromUtf8("批量查询"));
  tab_control_->setCurrentIndex(kQueryPage);

  remove_superseded_button_ = MakeButton(this, "按钮5", "删除有新标准");
  remove_superseded_button_->setGeometry(737, 54, 88, 24);

  // Page "查询".
  example_label_ = MakeLabel(query_page_, "标签1", "例子：GB/T50001-2010   【必须按这个格式】");
  number_box_ = MakeLineEdit(query_page_, "编辑框1", "GB/T50001-2010");
  single_query_button_ = MakeButton(query_page_, "按钮1", "查询");
  report_box_ = new QPlainTextEdit(query_page_);
  report_box_->setObjectName(QString::fromUtf8("编辑框2"));
  report_box_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report_box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report_box_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MakeBlackOnWhite(report_box_);

  // Page "批量查询".
  instruction_label_ =
      MakeLabel(batch_page_, "标签2",
                "请先将待查的标准编号导入软件，再点击查询，速度建议为2，快了会出现未知\r\n");
  format_label_ = MakeLabel(
      batch_page_, "标签3",
      "标准编号格式：GB/T50001-2010   每行一个标准，格式不标准可能导致查询错误\r\n\r\n\r\n");
  import_button_ = MakeButton(batch_page_, "按钮2", "导入");
  batch_query_button_ = MakeButton(batch_page_, "按钮3", "查询");
  remove_current_button_ = MakeButton(batch_page_, "按钮4", "删除现行标准");
  speed_label_ = MakeLabel(batch_page_, "标签4", "速度：");
  speed_box_ = MakeLineEdit(batch_page_, "编辑框3", "2");
  copy_hint_label_ = MakeLabel(batch_page_, "标签5", "【双击表格内容可直接复制】");

  result_view_ = new QTreeView(batch_page_);
  result_view_->setObjectName(QString::fromUtf8("超级列表框1"));
  result_view_->setRootIsDecorated(false);
  result_view_->setItemsExpandable(false);
  result_view_->setExpandsOnDoubleClick(false);
  result_view_->setUniformRowHeights(true);
  result_view_->setSortingEnabled(false);
  result_view_->setSelectionMode(QAbstractItemView::SingleSelection);
  result_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  result_view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  result_view_->setAlternatingRowColors(false);
  result_view_->setAllColumnsShowFocus(true);
  result_view_->setHeaderHidden(false);
  {
    QPalette palette = result_view_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    result_view_->setPalette(palette);
  }
  result_view_->setModel(model);
  QHeaderView* header = result_view_->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setSortIndicatorShown(false);
  for (int column = 0; column < 5; ++column) {
    header->setSectionResizeMode(column, QHeaderView::Interactive);
    header->resizeSection(column, kColumnWidths[column]);
  }
  result_view_->viewport()->installEventFilter(this);
  result_view_->viewport()->setAcceptDrops(true);
  MakeTableMenu();

  // Layout order: earlier controls lie above later ones with the same parent.
  page_controls_ = {
      {copy_hint_label_, QRect(5, 58, 160, 24)},
      {speed_label_, QRect(831, 49, 32, 24)},
      {speed_box_, QRect(869, 48, 32, 24)},
      {remove_current_button_, QRect(635, 49, 88, 24)},
      {batch_query_button_, QRect(544, 50, 80, 24)},
      {import_button_, QRect(453, 50, 80, 24)},
      {result_view_, QRect(5, 82, 904, 656)},
      {format_label_, QRect(5, 39, 440, 24)},
      {instruction_label_, QRect(5, 16, 424, 32)},
      {example_label_, QRect(101, 58, 336, 40)},
      {report_box_, QRect(100, 154, 328, 352)},
      {single_query_button_, QRect(341, 106, 80, 32)},
      {number_box_, QRect(101, 106, 224, 32)},
  };
  for (auto it = page_controls_.rbegin(); it != page_controls_.rend(); ++it) it->widget->raise();
  tab_control_->raise();
  remove_superseded_button_->raise();

  // The pages' place inside the tab control is known once the tab control has laid
  // itself out; follow it whenever it changes.
  if (QWidget* stack = query_page_->parentWidget()) stack->installEventFilter(this);
  PlacePageControls();

  // Enter in the number box asks as 按钮1 does (nothing while it is disabled).
  connect(number_box_, &QLineEdit::returnPressed, single_query_button_, &QPushButton::click);

  // Escape closes the window whichever control has the focus.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { close(); });

  CentreOnPrimaryScreen();
}

MainWindow::~MainWindow() {
  if (result_view_ != nullptr) {
    result_view_->viewport()->removeEventFilter(this);
    result_view_->removeEventFilter(this);
  }
}

QPushButton* MainWindow::button(WindowButton which) const {
  switch (which) {
    case WindowButton::kSingleQuery:
      return single_query_button_;
    case WindowButton::kImport:
      return import_button_;
    case WindowButton::kBatchQuery:
      return batch_query_button_;
    case WindowButton::kRemoveCurrent:
      return remove_current_button_;
    case WindowButton::kRemoveSuperseded:
      return remove_superseded_button_;
  }
  return nullptr;
}

void MainWindow::OnClicked(WindowButton which, std::function<void()> handler) {
  connect(button(which), &QPushButton::clicked, this,
          [handler = std::move(handler)](bool) { handler(); });
}

void MainWindow::OnTableDoubleClicked(
    std::function<void(int x, int y, Qt::KeyboardModifiers)> handler) {
  double_click_handlers_.push_back(std::move(handler));
}

QString MainWindow::base_title() const { return QString::fromUtf8(kWindowTitle); }

void MainWindow::MakeTableMenu() {
  table_menu_ = new QMenu(this);
  table_menu_->setObjectName(QStringLiteral("table_menu"));
  const char* const texts[] = {"复制本行", "复制全部", "导出 CSV…", "重新查询未知"};
  for (int i = 0; i < 4; ++i) {
    table_actions_[i] = table_menu_->addAction(QString::fromUtf8(texts[i]));
  }
  table_menu_->insertSeparator(table_actions_[static_cast<int>(TableAction::kRequeryFailed)]);
  // Shown in the menu; the table's key filter does the copying (the view would copy
  // the current cell alone).
  table_actions_[static_cast<int>(TableAction::kCopyRow)]->setShortcut(QKeySequence::Copy);
  result_view_->installEventFilter(this);
  // Disabled only while the menu shows no row: Ctrl+C must work afterwards.
  connect(table_menu_, &QMenu::aboutToHide, this,
          [this] { table_action(TableAction::kCopyRow)->setEnabled(true); });

  result_view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(result_view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
    // The menu's row is the one under the pointer.
    const QModelIndex cell = result_view_->indexAt(point);
    if (cell.isValid()) result_view_->setCurrentIndex(cell);
    table_action(TableAction::kCopyRow)->setEnabled(result_view_->currentIndex().isValid());
    table_menu_->popup(result_view_->viewport()->mapToGlobal(point));
  });
}

QAction* MainWindow::table_action(TableAction which) const {
  return table_actions_[static_cast<int>(which)];
}

void MainWindow::OnTableAction(TableAction which, std::function<void()> handler) {
  connect(table_action(which), &QAction::triggered, this,
          [handler = std::move(handler)](bool) { handler(); });
}

void MainWindow::OnFileDropped(std::function<void(const QString& path)> handler) {
  drop_handlers_.push_back(std::move(handler));
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
      const auto handlers = drop_handlers_;
      for (const auto& handler : handlers) handler(path);
      return true;
    }
    default:
      return false;
  }
}

void MainWindow::OnClosing(std::function<void()> handler) {
  closing_handlers_.push_back(std::move(handler));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closing_done_) {
    closing_done_ = true;
    for (const auto& handler : closing_handlers_) handler();
  }
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (result_view_ != nullptr && watched == result_view_->viewport() && TableViewportEvent(event)) {
    return true;
  }
  // Ctrl+C in the table copies the selected row.
  if (result_view_ != nullptr && watched == result_view_ &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    if (event->type() == QEvent::KeyPress) table_action(TableAction::kCopyRow)->trigger();
    event->accept();
    return true;
  }
  if (result_view_ != nullptr && watched == result_view_->viewport() &&
      event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint point = mouse->position().toPoint();
    // Copy the list: a handler may bind another.
    const auto handlers = double_click_handlers_;
    for (const auto& handler : handlers) handler(point.x(), point.y(), mouse->modifiers());
  } else if (query_page_ != nullptr && watched == query_page_->parentWidget() &&
             (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    PlacePageControls();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::PlacePageControls() {
  for (const PageControl& control : page_controls_) {
    const QPoint offset = control.widget->parentWidget()->mapTo(tab_control_, QPoint(0, 0));
    const QRect rect = control.layout_rect.translated(-offset);
    control.widget->setGeometry(rect);
    // A label whose top lies under the tab bar starts its text where the page begins.
    if (auto* label = qobject_cast<QLabel*>(control.widget)) {
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

}  // namespace kelvaro
