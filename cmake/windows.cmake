# Settings of the Windows (mingw-w64) build, included by the top-level CMakeLists.txt.
if(KELVARO_BUILD_UI)
  message(STATUS "Kelvaro: the Qt window is not built for Windows")
  set(KELVARO_BUILD_UI OFF CACHE BOOL "Build the Qt window and its tests" FORCE)
endif()
foreach(_option KELVARO_BUILD_BENCH KELVARO_BUILD_FUZZ)
  if(${_option})
    message(STATUS "Kelvaro: ${_option} is ignored for Windows")
  endif()
endforeach()
if(NOT KELVARO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Kelvaro: no sanitizers in the Windows build")
endif()

# GCC 12 at -O3 reports false -Wrestrict errors inside std::string (GCC bug 105329).
string(REPLACE "-O3" "-O2" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")

# The header-only libraries the command line uses, taken from the build machine's Debian
# packages: only their own directories, never the host's whole include tree.
set(_kelvaro_host_headers ${PROJECT_BINARY_DIR}/host-headers)
foreach(_dir CLI nlohmann)
  if(EXISTS /usr/include/${_dir} AND NOT EXISTS ${_kelvaro_host_headers}/${_dir})
    file(MAKE_DIRECTORY ${_kelvaro_host_headers})
    file(CREATE_LINK /usr/include/${_dir} ${_kelvaro_host_headers}/${_dir} SYMBOLIC)
  endif()
endforeach()
if(EXISTS ${_kelvaro_host_headers}/CLI)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_kelvaro_host_headers})
endif()
if(EXISTS ${_kelvaro_host_headers}/nlohmann)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_kelvaro_host_headers})
endif()

# Test executables run under Wine, in a prefix kept under the build directory.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-test ${PROJECT_BINARY_DIR}/wineprefix)
