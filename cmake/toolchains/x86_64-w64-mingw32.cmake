# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread).
# Everything is linked statically, so an executable needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVARO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVARO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVARO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The W functions by default; a wide entry point (wmain) also needs -municode on its target.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

