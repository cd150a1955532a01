# The Windows test executables, cross-built and run under Wine (the emulator set by
# cmake/windows.cmake). Suites that start servers of their own use POSIX sockets and stay in
# the Linux build; the wire tests here talk to kelvaro-wire-fixture, started natively on
# Linux by scripts/test-windows, whose control port arrives in KELVARO_WIRE_FIXTURE.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

add_library(kelvaro_test_support STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/support/binary_office_builder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/compound_builder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/counting_worker.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/fake_request_object.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/literal_parser.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/office_builder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/pdf_builder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/pdf_samples.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/recorded_request.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/table_text.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/wire_cases.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/zip_builder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/windows/environment.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/windows/open_handles.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/windows/wire_fixture_client.cpp)
target_include_directories(kelvaro_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kelvaro_test_support PUBLIC kelvaro_core GTest::gtest ws2_32
  nlohmann_json::nlohmann_json ZLIB::ZLIB)
target_compile_definitions(kelvaro_test_support PUBLIC
  KELVARO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
  KELVARO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  KELVARO_BINARY_DIR="${PROJECT_BINARY_DIR}")

# One executable per module, from the suites that need no server of their own.
function(kelvaro_windows_tests module)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES")
  set(target kelvaro_${module}_tests)
  list(TRANSFORM arg_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${module}/)
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE kelvaro_test_support GTest::gtest_main ${arg_LIBRARIES})
  # One start per program: under Wine starting a process costs more than most tests take.
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  set_tests_properties(${target} PROPERTIES TIMEOUT 900)
endfunction()

kelvaro_windows_tests(text SOURCES encoding_test.cpp text_test.cpp utf16_test.cpp)
kelvaro_windows_tests(web SOURCES headers_test.cpp url_test.cpp web_request_test.cpp)
kelvaro_windows_tests(query SOURCES number_test.cpp verdict_test.cpp report_test.cpp changes_test.cpp
  marking_test.cpp)
kelvaro_windows_tests(site SOURCES national_site_test.cpp lookup_store_test.cpp site_settings_test.cpp)
kelvaro_windows_tests(store SOURCES lookup_archive_test.cpp)
kelvaro_windows_tests(rows SOURCES verdicts_test.cpp reason_test.cpp row_store_test.cpp export_test.cpp
  exported_column_test.cpp)
kelvaro_windows_tests(citation SOURCES citation_test.cpp)
kelvaro_windows_tests(batch SOURCES batch_runner_test.cpp lock_registry_test.cpp
  message_pump_test.cpp)
# The same documents give the same pieces as on Linux; the comparisons with libzip, expat,
# poppler, antiword, catdoc and xls2csv and the openpyxl reading of the export stay there.
kelvaro_windows_tests(document SOURCES cell_name_test.cpp location_test.cpp
  containers/compound_file_test.cpp containers/package_edit_test.cpp
  containers/xml_reader_test.cpp containers/zip_reader_test.cpp containers/zip_writer_test.cpp
  pdf/pdf_reader_test.cpp readers/binary_office_test.cpp readers/doc_test.cpp
  readers/docx_test.cpp readers/hostile_document_test.cpp readers/pdf_test.cpp
  readers/text_file_test.cpp readers/xls_test.cpp readers/xlsx_test.cpp
  LIBRARIES ZLIB::ZLIB)
if(TARGET kelvaro_cli)
  kelvaro_windows_tests(cli SOURCES table_output_test.cpp citation_output_test.cpp
    LIBRARIES kelvaro_cli)
endif()
file(GLOB _windows_platform_tests CONFIGURE_DEPENDS
  RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/platform ${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/*.cpp)
kelvaro_windows_tests(platform SOURCES clock_test.cpp crypto_test.cpp files_test.cpp request_object_test.cpp
  ${_windows_platform_tests})

# Ctrl-C needs a signal from outside the process: a probe program, signalled from Linux.
add_executable(kelvaro_interrupt_probe platform/windows/interrupt_probe/main.cpp)
target_link_libraries(kelvaro_interrupt_probe PRIVATE kelvaro_core)
add_test(NAME WindowsConsole.CtrlCCallsTheWatcherOnceAndExits130
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/platform/windows/interrupt_test.sh
          ${PROJECT_SOURCE_DIR}/scripts/wine-run ${PROJECT_BINARY_DIR}/wineprefix
          $<TARGET_FILE:kelvaro_interrupt_probe>)
set_tests_properties(WindowsConsole.CtrlCCallsTheWatcherOnceAndExits130 PROPERTIES TIMEOUT 60)

# kelvaro-cli.exe against the Linux kelvaro-cli on the same sample site (both native, from
# the build named by KELVARO_NATIVE_BUILD): the same bytes, exit codes and Ctrl-C.
if(TARGET kelvaro-cli)
  add_test(NAME KelvaroCliExe.SameOutputAsLinuxAndCtrlC
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cli/windows/end_to_end.sh
            ${PROJECT_SOURCE_DIR}/scripts/wine-run ${PROJECT_BINARY_DIR}/wineprefix
            $<TARGET_FILE:kelvaro-cli> ${CMAKE_CURRENT_SOURCE_DIR}/data)
  set_tests_properties(KelvaroCliExe.SameOutputAsLinuxAndCtrlC PROPERTIES TIMEOUT 180)
endif()

# The window, driven by messages in its own process (Xvfb and the Chinese set-up of
# scripts/wine-gui; Xvfb and the sample sites from a CTest fixture).
include(${CMAKE_CURRENT_SOURCE_DIR}/win32/tests.cmake)
