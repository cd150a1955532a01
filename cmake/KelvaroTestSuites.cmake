# One ctest entry per gtest suite of a test program, found when ctest starts (as
# gtest_discover_tests does in PRE_TEST mode). A process per case spent most of the test
# time starting processes once the parameterised tables grew into thousands of cases; a
# process per suite keeps `ctest -R Suite` useful and, with --gtest_brief, a failing case's
# name is the first thing in the output. A parameterised suite keeps its instance prefix
# (Prefix/Suite); every entry carries the program's module as a label (ctest -L citation).
# A case long enough to hold up the whole run when its suite waits for it is named in APART
# (Suite.Case): it gets an entry of its own that starts first.
#
#   kelvaro_test_suites(TARGET LABEL [APART Suite.Case ...] [PROPERTIES prop value ...])

set(_kelvaro_test_suites_script ${CMAKE_CURRENT_LIST_DIR}/KelvaroTestSuitesAdd.cmake)

function(kelvaro_test_suites target label)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "APART;PROPERTIES")
  set(base ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites)
  file(GENERATE OUTPUT ${base}_include.cmake CONTENT
"set(_kelvaro_exe [==[$<TARGET_FILE:${target}>]==])
set(_kelvaro_target [==[${target}]==])
set(_kelvaro_label [==[${label}]==])
set(_kelvaro_suites_file [==[${base}.cmake]==])
set(_kelvaro_workdir [==[${CMAKE_CURRENT_BINARY_DIR}]==])
set(_kelvaro_apart [==[${arg_APART}]==])
set(_kelvaro_properties [==[${arg_PROPERTIES}]==])
include([==[${_kelvaro_test_suites_script}]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${base}_include.cmake)
endfunction()
