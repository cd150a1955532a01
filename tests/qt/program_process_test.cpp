#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "qt_test_app.h"

namespace kelvaro {
namespace {

// The real program, as the screenshot tool runs it: starts, shows its window, grabs both
// pages, closes it and ends with exit code 0.
TEST(ProgramProcessTest, WindowProgramEndsWithCodeZeroWhenItsWindowCloses) {
  testing::TestApp();
  const QString program = QStringLiteral(KELVARO_BINARY_DIR "/tools/screenshot/kelvaro-screenshot");
  ASSERT_TRUE(QFileInfo::exists(program));
  QTemporaryDir pictures;
  ASSERT_TRUE(pictures.isValid());
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // Nothing listens here: any lookup a bound handler starts fails at once.
  environment.insert(QStringLiteral("KELVARO_SITE"), QStringLiteral("http://127.0.0.1:9"));
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(program, {pictures.path()});
  ASSERT_TRUE(process.waitForStarted(10000));
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_GT(QFileInfo(pictures.filePath(QStringLiteral("screenshot-query.png"))).size(), 0);
  EXPECT_GT(QFileInfo(pictures.filePath(QStringLiteral("screenshot-batch.png"))).size(), 0);
}

}  // namespace
}  // namespace kelvaro
