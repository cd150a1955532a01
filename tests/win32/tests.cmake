# The window, created in its own test process under Wine and driven by messages. Xvfb and
# the sample sites come from a CTest fixture; the Chinese set-up from scripts/wine-gui.
set(KELVARO_NATIVE_SAMPLE_SITE
  "${PROJECT_SOURCE_DIR}/build/windows-native/tools/sample-site/kelvaro-sample-site"
  CACHE FILEPATH "The Linux build's kelvaro-sample-site, for the window tests")
set(_window_state ${PROJECT_BINARY_DIR}/window-fixture)

add_executable(kelvaro_win32_tests ${CMAKE_CURRENT_SOURCE_DIR}/win32/main_window_test.cpp)
target_link_libraries(kelvaro_win32_tests PRIVATE kelvaro_win32 kelvaro_test_support GTest::gtest_main)
set_target_properties(kelvaro_win32_tests PROPERTIES CROSSCOMPILING_EMULATOR
  "${PROJECT_SOURCE_DIR}/scripts/wine-gui;${PROJECT_BINARY_DIR}/wineprefix-gui")
# The clipboard is shared by everything on the display: its tests take turns.
set(_clipboard_tests "*Copy*:*Clipboard*")
foreach(_part IN ITEMS shared clipboard)
  if(_part STREQUAL "clipboard")
    set(_filter "${_clipboard_tests}")
    set(_lock RESOURCE_LOCK kelvaro_window_clipboard)
  else()
    # The installed program's test belongs to tests/win32/installer_test.sh.
    set(_filter "-${_clipboard_tests}:InstalledProgramTest.*")
    set(_lock)
  endif()
  gtest_discover_tests(kelvaro_win32_tests DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
    TEST_FILTER "${_filter}"
    PROPERTIES TIMEOUT 120 LABELS window FIXTURES_REQUIRED kelvaro_window ${_lock}
               ENVIRONMENT "KELVARO_WINDOW_ENV=${_window_state}/env")
endforeach()

add_test(NAME WindowFixture.Start
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/window_fixture.sh start ${_window_state}
          ${KELVARO_NATIVE_SAMPLE_SITE} ${PROJECT_BINARY_DIR}/wineprefix-gui)
add_test(NAME WindowFixture.Stop
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/window_fixture.sh stop ${_window_state}
          ${PROJECT_BINARY_DIR}/wineprefix-gui)
set_tests_properties(WindowFixture.Start PROPERTIES FIXTURES_SETUP kelvaro_window LABELS window)
set_tests_properties(WindowFixture.Stop PROPERTIES FIXTURES_CLEANUP kelvaro_window LABELS window)

# Screenshots of the two pages for the README (scripts/screenshot-windows).
add_executable(kelvaro-win-screenshot ${PROJECT_SOURCE_DIR}/tools/win-screenshot/main.cpp)
target_link_options(kelvaro-win-screenshot PRIVATE -municode)
target_link_libraries(kelvaro-win-screenshot PRIVATE kelvaro_win32)
