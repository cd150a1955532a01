// The main window: a fixed layout of a tab control with two pages and one button of
// the window's own. Nothing is created, moved or resized after construction, except
// that page controls follow their page's place inside the tab control.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeView;
class QAbstractItemModel;
class QAction;
class QMenu;

namespace kelvaro {

// The window's push buttons, by the role the handlers know them by.
enum class WindowButton {
  kSingleQuery,       // 按钮1 "查询" on page "查询"
  kImport,            // 按钮2 "导入"
  kBatchQuery,        // 按钮3 "查询" on page "批量查询"
  kRemoveCurrent,     // 按钮4 "删除现行标准"
  kRemoveSuperseded,  // 按钮5 "删除有新标准", on the window itself
};

// The Result table's context menu, by role.
enum class TableAction {
  kCopyRow,        // 复制本行 (also Ctrl+C)
  kCopyAll,        // 复制全部
  kExportCsv,      // 导出 CSV…
  kRequeryFailed,  // 重新查询未知
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 928;
  static constexpr int kClientHeight = 752;
  static constexpr int kQueryPage = 0;
  static constexpr int kBatchPage = 1;

  // `model` is shown by the Result table; the window does not own it.
  explicit MainWindow(QAbstractItemModel* model, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Controls by role.
  QTabWidget* tab_control() const { return tab_control_; }  // 选择夹1
  QWidget* query_page() const { return query_page_; }
  QWidget* batch_page() const { return batch_page_; }
  QLabel* example_label() const { return example_label_; }                       // 标签1
  QLineEdit* number_box() const { return number_box_; }                          // 编辑框1
  QPushButton* single_query_button() const { return single_query_button_; }      // 按钮1
  QPlainTextEdit* report_box() const { return report_box_; }                     // 编辑框2
  QLabel* instruction_label() const { return instruction_label_; }               // 标签2
  QLabel* format_label() const { return format_label_; }                         // 标签3
  QPushButton* import_button() const { return import_button_; }                  // 按钮2
  QPushButton* batch_query_button() const { return batch_query_button_; }        // 按钮3
  QPushButton* remove_current_button() const { return remove_current_button_; }  // 按钮4
  QLabel* speed_label() const { return speed_label_; }                           // 标签4
  QLineEdit* speed_box() const { return speed_box_; }                            // 编辑框3
  QLabel* copy_hint_label() const { return copy_hint_label_; }                   // 标签5
  QTreeView* result_view() const { return result_view_; }                        // 超级列表框1
  QPushButton* remove_superseded_button() const { return remove_superseded_button_; }  // 按钮5
  QPushButton* button(WindowButton which) const;

  // 通用对话框1 is no widget: the import makes a file dialog when it needs one and
  // keeps the chosen file's full path here.
  const QString& open_file_name() const { return open_file_name_; }
  void set_open_file_name(const QString& path) { open_file_name_ = path; }

  // Event bindings. A button runs each handler bound to it when clicked.
  void OnClicked(WindowButton which, std::function<void()> handler);
  // Double-click in the Result table: the point in the view's viewport coordinates
  // (the ones HitTestCell takes) and the modifier keys held.
  void OnTableDoubleClicked(std::function<void(int x, int y, Qt::KeyboardModifiers)> handler);
  // The Result table's context menu and its actions; a handler runs when one is chosen.
  QMenu* table_menu() const { return table_menu_; }
  QAction* table_action(TableAction which) const;
  void OnTableAction(TableAction which, std::function<void()> handler);
  // A local file dropped on the Result table: its full path.
  void OnFileDropped(std::function<void(const QString& path)> handler);
  // The title the window has when no batch runs.
  QString base_title() const;
  // Runs once when the window closes (close box, Escape or close()), before it hides.
  void OnClosing(std::function<void()> handler);

  // Page controls in layout order with their place relative to the tab control.
  struct PageControl {
    QWidget* widget;
    QRect layout_rect;
  };
  const std::vector<PageControl>& page_controls() const { return page_controls_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlacePageControls();
  void MakeTableMenu();
  bool TableViewportEvent(QEvent* event);
  void CentreOnPrimaryScreen();

  QTabWidget* tab_control_ = nullptr;
  QWidget* query_page_ = nullptr;
  QWidget* batch_page_ = nullptr;
  QLabel* example_label_ = nullptr;
  QLineEdit* number_box_ = nullptr;
  QPushButton* single_query_button_ = nullptr;
  QPlainTextEdit* report_box_ = nullptr;
  QLabel* instruction_label_ = nullptr;
  QLabel* format_label_ = nullptr;
  QPushButton* import_button_ = nullptr;
  QPushButton* batch_query_button_ = nullptr;
  QPushButton* remove_current_button_ = nullptr;
  QLabel* speed_label_ = nullptr;
  QLineEdit* speed_box_ = nullptr;
  QLabel* copy_hint_label_ = nullptr;
  QTreeView* result_view_ = nullptr;
  QPushButton* remove_superseded_button_ = nullptr;

  QMenu* table_menu_ = nullptr;
  QAction* table_actions_[4] = {};

  std::vector<PageControl> page_controls_;
  QString open_file_name_;
  std::vector<std::function<void(int, int, Qt::KeyboardModifiers)>> double_click_handlers_;
  std::vector<std::function<void()>> closing_handlers_;
  std::vector<std::function<void(const QString&)>> drop_handlers_;
  bool closing_done_ = false;
};

}  // namespace kelvaro
