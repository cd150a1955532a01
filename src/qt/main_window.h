// The main window with Qt Widgets: the layout's controls, the view the window logic draws
// on, and the events it forwards to that logic. Nothing is created, moved or resized after
// construction, except that page controls follow their page's place inside the tab control.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include "batch/message_pump.h"
#include "window/layout.h"
#include "window/window_logic.h"
#include "window/window_view.h"

class QAction;
class QMenu;
class QTabWidget;
class QTreeView;

namespace kelvaro {

class ResultTableModel;

class MainWindow : public QWidget, private WindowView {
  Q_OBJECT

 public:
  // `model` is shown by the Result table and `pump` is the window thread's; both outlive
  // the window. The window's creation is complete when this returns.
  MainWindow(ResultTableModel& model, MessagePump& pump, QString program_directory = {},
             QWidget* parent = nullptr);
  ~MainWindow() override;

  WindowLogic& logic() { return *logic_; }

  QWidget* control(ControlId id) const;
  template <typename T>
  T* control_as(ControlId id) const {
    return qobject_cast<T*>(control(id));
  }
  QTabWidget* tab_control() const;
  QWidget* page(int page) const;
  QTreeView* result_view() const;
  QMenu* table_menu() const { return table_menu_; }
  QAction* table_action(TableCommand command) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // WindowView.
  KELVARO_WINDOW_VIEW_OVERRIDES

  void CreateControls(ResultTableModel& model);
  void SetUpResultView(QTreeView* view, ResultTableModel& model);
  void MakeTableMenu();
  void PlacePageControls();
  bool TableViewportEvent(QEvent* event);
  void CentreOnPrimaryScreen();

  std::map<ControlId, QWidget*> controls_;
  QWidget* pages_[2] = {};
  QMenu* table_menu_ = nullptr;
  std::map<TableCommand, QAction*> table_actions_;
  QTimer progress_timer_;
  std::unique_ptr<WindowLogic> logic_;
  bool closing_done_ = false;
};

}  // namespace kelvaro
