# Run by ctest for each program registered with kelvaro_test_suites(): lists the program's
# suites (again only when the program changed) and adds one test per suite, and one per case
# named to run apart.

if(NOT EXISTS "${_kelvaro_exe}")
  # Visible as a failing test rather than as silently fewer tests.
  add_test(${_kelvaro_target}_NOT_BUILT ${_kelvaro_target}_NOT_BUILT)
  return()
endif()

set(_kelvaro_listed_for "")
if(EXISTS "${_kelvaro_suites_file}")
  include("${_kelvaro_suites_file}")
endif()
if(NOT EXISTS "${_kelvaro_suites_file}" OR "${_kelvaro_exe}" IS_NEWER_THAN "${_kelvaro_suites_file}"
   OR "${CMAKE_CURRENT_LIST_FILE}" IS_NEWER_THAN "${_kelvaro_suites_file}"
   OR NOT _kelvaro_listed_for STREQUAL _kelvaro_apart)
  execute_process(COMMAND "${_kelvaro_exe}" --gtest_list_tests
    WORKING_DIRECTORY "${_kelvaro_workdir}"
    TIMEOUT 120
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE listing_errors
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${_kelvaro_exe} --gtest_list_tests failed (${status}):\n${listing}${listing_errors}")
  endif()

  # Suite lines start in the first column and end in "." (typed suites add "  # TypeParam = ...");
  # their cases follow, indented (parameterised ones add "  # GetParam() = ...").
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  set(suites "")
  set(cases "")
  set(suite "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^ #][^ ]*)\\.( +#.*)?$")
      set(suite "${CMAKE_MATCH_1}")
      list(APPEND suites "${suite}")
    elseif(suite AND line MATCHES "^  ([^ ]+)")
      list(APPEND cases "${suite}.${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT suites)
    message(FATAL_ERROR "${_kelvaro_exe} lists no test suite:\n${listing}")
  endif()
  set(found_apart "")
  foreach(case IN LISTS _kelvaro_apart)
    list(FIND cases "${case}" at)
    if(NOT at EQUAL -1)
      list(APPEND found_apart "${case}")
    endif()
  endforeach()

  file(WRITE "${_kelvaro_suites_file}" "set(_kelvaro_suites [==[${suites}]==])\n"
    "set(_kelvaro_found_apart [==[${found_apart}]==])\n"
    "set(_kelvaro_listed_for [==[${_kelvaro_apart}]==])\n")
  include("${_kelvaro_suites_file}")
endif()

foreach(_kelvaro_suite IN LISTS _kelvaro_suites)
  # A suite name taken by an earlier program gets this one's label, so neither is lost.
  set(_kelvaro_name "${_kelvaro_suite}")
  list(FIND _kelvaro_registered_suites "${_kelvaro_suite}" _kelvaro_taken)
  if(NOT _kelvaro_taken EQUAL -1)
    set(_kelvaro_name "${_kelvaro_label}:${_kelvaro_suite}")
  endif()
  list(APPEND _kelvaro_registered_suites "${_kelvaro_name}")
  set(_kelvaro_filter "${_kelvaro_suite}.*")
  set(_kelvaro_sep "-")
  foreach(_kelvaro_case IN LISTS _kelvaro_found_apart)
    if(_kelvaro_case MATCHES "^(.*)\\.[^.]*$" AND CMAKE_MATCH_1 STREQUAL _kelvaro_suite)
      string(APPEND _kelvaro_filter "${_kelvaro_sep}${_kelvaro_case}")
      set(_kelvaro_sep ":")
    endif()
  endforeach()
  add_test("${_kelvaro_name}" "${_kelvaro_exe}" --gtest_brief=1 "--gtest_filter=${_kelvaro_filter}")
  set_tests_properties("${_kelvaro_name}" PROPERTIES
    WORKING_DIRECTORY "${_kelvaro_workdir}" LABELS "${_kelvaro_label}" ${_kelvaro_properties})
  if(_kelvaro_suite MATCHES "^DISABLED_|/DISABLED_")
    set_tests_properties("${_kelvaro_name}" PROPERTIES DISABLED TRUE)
  endif()
endforeach()

# A long case runs beside the others and starts first (a fresh machine has no timings yet).
foreach(_kelvaro_case IN LISTS _kelvaro_apart)
  list(FIND _kelvaro_found_apart "${_kelvaro_case}" _kelvaro_at)
  if(_kelvaro_at EQUAL -1)
    # Named to run apart but gone: a failing test, not a silently dropped name.
    add_test("${_kelvaro_case}_NOT_FOUND" "${_kelvaro_case}_NOT_FOUND")
    continue()
  endif()
  add_test("${_kelvaro_case}" "${_kelvaro_exe}" --gtest_brief=1 "--gtest_filter=${_kelvaro_case}")
  set_tests_properties("${_kelvaro_case}" PROPERTIES
    WORKING_DIRECTORY "${_kelvaro_workdir}" LABELS "${_kelvaro_label}" COST 1000 ${_kelvaro_properties})
endforeach()
