# Cross-building the Windows program on Debian with its MinGW-w64 (the posix
# thread model, for std::thread): cmake -DCMAKE_TOOLCHAIN_FILE=<this file>.
# Everything links statically, so tavlun.exe imports system DLLs only; the
# tests run under wine (tests/windows/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVLUN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVLUN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVLUN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVLUN_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TAVLUN_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVLUN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run)
