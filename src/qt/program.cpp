#include "qt/program.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "platform/console.h"
#include "platform/web.h"
#include "site/standard_site.h"
#include "store/lookup_archive.h"
#include "window/window_texts.h"

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

ProgramSession::~ProgramSession() { ProgramCleanup(); }

bool ProgramSession::LoadWindow(const WindowLoader& loader) {
  window_ = loader ? loader(*model_, pump_, context_.program_directory)
                   : std::make_unique<MainWindow>(*model_, pump_, context_.program_directory);
  context_.window = window_.get();
  return window_ != nullptr;
}

void ProgramSession::ProgramCleanup() {
  if (!window_) return;
  if (window_->isVisible()) window_->close();
  if (!window_->logic().ProgramCleanup()) {
    // Workers still running use the table: it ends with the process.
    (void)window_.release();
    (void)model_.release();
    context_ = ProgramContext{};
    return;
  }
  window_.reset();
  context_.window = nullptr;
}

int RunProgram(const ProgramHooks& hooks) {
  platform::InitWeb();

  const QString program_directory = QCoreApplication::applicationDirPath();
  QDir::setCurrent(program_directory);

  ProgramSession session(program_directory);
  if (!session.LoadWindow(hooks.window_loader)) {
    const auto& report = hooks.report_fatal_error ? hooks.report_fatal_error : ShowFatalErrorBox;
    report(QString::fromUtf8(kErrorCaption),
           QString::fromStdString(FatalErrorText(kWindowLoadFailed)));
    return -1;
  }
  ProgramContext& context = session.context();
  context.logic().SetSite(ResolveSite());
  context.logic().UseStore(LookupArchivePath(false));
  context.window->show();
  if (hooks.on_shown) hooks.on_shown(context);

  QApplication::exec();

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
