#include "qt_test_app.h"

#include <gtest/gtest.h>

#include <QByteArray>

namespace kelvaro::testing {
namespace {

QApplication* g_app = nullptr;

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "kelvaro_qt_tests";
  static char* argv[] = {name, nullptr};
  if (g_app == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = new QApplication(argc, argv);
  }
  return *g_app;
}

}  // namespace kelvaro::testing
