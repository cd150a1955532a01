// The one QApplication of the window tests, made on first use (the test runner owns
// main) and deleted when the tests end, before static destruction begins: Qt's own
// globals must still exist while it goes. Every test calls TestApp() first.
#pragma once

#include <QApplication>

namespace kelvaro::testing {

QApplication& TestApp();

}  // namespace kelvaro::testing
