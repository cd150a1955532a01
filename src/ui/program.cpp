#include "ui/program.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "platform/console.h"
#include "platform/web.h"
#include "ui/handler_hooks.h"

namespace kelvaro {

namespace {

void ShowFatalErrorBox(const QString& caption, const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Critical, caption, shown, QMessageBox::Ok);
  box.exec();
}

}  // namespace

ProgramSession::ProgramSession(QString program_directory)
    : model_(std::make_unique<ResultTableModel>()) {
  context_.pump = &pump_;
  context_.model = model_.get();
  context_.program_directory = std::move(program_directory);
}

ProgramSession::~ProgramSession() {
  EndBatches();
  window_.reset();
  context_.window = nullptr;
}

bool ProgramSession::LoadWindow(const WindowLoader& loader) {
  window_ = loader ? loader(*model_) : std::make_unique<MainWindow>(model_.get());
  if (!window_) return false;
  model_->SetView(window_->result_view());
  context_.window = window_.get();
  window_->OnClosing([this] { EndBatches(); });
  // The window and all its controls exist: its creation is complete.
  session_ = std::make_unique<BatchSession>(*model_, pump_);
  context_.session = session_.get();
  return true;
}

void ProgramSession::EndBatches() {
  if (session_) session_->EndAll();
}

void ProgramSession::ProgramCleanup() {
  if (!session_) return;
  EndBatches();
  session_->runner().Destroy();
  session_.reset();
  context_.session = nullptr;
}

QString FatalErrorText(const QString& message) {
  return QString::fromUtf8("运行时出错!\r\n") + QString::fromUtf8("\r\n错误信息：") + message;
}

int RunProgram(const ProgramHooks& hooks) {
  platform::InitWeb();

  const QString program_directory = QCoreApplication::applicationDirPath();
  QDir::setCurrent(program_directory);

  ProgramSession session(program_directory);

  if (!session.LoadWindow(hooks.window_loader)) {
    const auto& report = hooks.report_fatal_error ? hooks.report_fatal_error : ShowFatalErrorBox;
    report(QString::fromUtf8("错误"), FatalErrorText(QString::fromUtf8("载入启动窗口失败")));
    return -1;
  }
  ProgramContext& context = session.context();
  InstallHandlers(context);
  context.window->show();

  if (hooks.on_shown) hooks.on_shown(context);

  QApplication::exec();

  // The window may be open still if the loop was ended otherwise.
  session.EndBatches();
  session.ProgramCleanup();
  return 0;
}

bool LoadQtChinese(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
         QCoreApplication::installTranslator(&translator);
}

int ProgramStart(int argc, char** argv, const ProgramHooks& hooks) {
  // A closed descriptor must not be taken over by a socket that then gets our output.
  platform::EnsureStandardStreams();
  QApplication app(argc, argv);
  // Qt's own dialogs (the import's file dialog) speak the window's language.
  QTranslator qt_chinese;
  LoadQtChinese(qt_chinese);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  return RunProgram(hooks);
}

}  // namespace kelvaro
