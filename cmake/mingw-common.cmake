# Shared by the MinGW-w64 toolchain files: each sets CMAKE_SYSTEM_PROCESSOR and
# TOOLCHAIN_PREFIX, then includes this.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: the posix one links winpthreads into every exe, and that
# imports functions Windows 95, 98 and ME lack (TryEnterCriticalSection,
# AddVectoredExceptionHandler). Nothing here uses std::thread.
#
# QUINTARO_MINGW_ROOT, when set, is a toolchain of the project's own in place of Debian's
# (tools/build-toolchain.sh: the win32 one, built for the 80486, run-time included).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUINTARO_MINGW_ROOT)
if(QUINTARO_MINGW_ROOT)
    set(CMAKE_CXX_COMPILER ${QUINTARO_MINGW_ROOT}/bin/${TOOLCHAIN_PREFIX}-g++)
    set(CMAKE_C_COMPILER ${QUINTARO_MINGW_ROOT}/bin/${TOOLCHAIN_PREFIX}-gcc)
    set(CMAKE_FIND_ROOT_PATH ${QUINTARO_MINGW_ROOT}/${TOOLCHAIN_PREFIX})
else()
    find_program(MINGW_CXX NAMES ${TOOLCHAIN_PREFIX}-g++-win32 REQUIRED)
    find_program(MINGW_CC NAMES ${TOOLCHAIN_PREFIX}-gcc-win32 REQUIRED)
    set(CMAKE_CXX_COMPILER ${MINGW_CXX})
    set(CMAKE_C_COMPILER ${MINGW_CC})
    set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
endif()
# Debian's binutils serve either compiler: they assemble for any i386 processor.
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Self-contained executables: the C++ runtime is linked in, so only system DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
