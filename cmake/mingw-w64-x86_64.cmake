# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads).
# REDAVAVE_WINDOWS_DEPS names the folder that holds SDL2 and FFmpeg built for
# Windows (scripts/windows-deps.sh prints it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-ranlib CACHE FILEPATH "")

# Carried into try_compile projects, which see a fresh cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES REDAVAVE_WINDOWS_DEPS REDAVAVE_WINDOWS_TEST_DEPS)
if(NOT REDAVAVE_WINDOWS_DEPS AND DEFINED ENV{REDAVAVE_WINDOWS_DEPS})
  set(REDAVAVE_WINDOWS_DEPS $ENV{REDAVAVE_WINDOWS_DEPS})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${REDAVAVE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at the Windows libraries.
if(REDAVAVE_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${REDAVAVE_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# Programs built here run under wine (tests and their discovery), with the
# dependencies' DLLs on its search path. The test programs' FFmpeg (same DLL
# names, with the encoders the tests write songs with) comes first when the
# dependency folder has one; the game beside its own DLLs never sees it.
if(NOT REDAVAVE_WINDOWS_TEST_DEPS AND EXISTS ${REDAVAVE_WINDOWS_DEPS}/test/bin)
  set(REDAVAVE_WINDOWS_TEST_DEPS ${REDAVAVE_WINDOWS_DEPS}/test)
endif()
set(_wine_dlls ${REDAVAVE_WINDOWS_DEPS}/bin)
if(REDAVAVE_WINDOWS_TEST_DEPS)
  set(_wine_dlls ${REDAVAVE_WINDOWS_TEST_DEPS}/bin:${_wine_dlls})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${_wine_dlls})

# The C and C++ runtimes and winpthread go into the executables, so a
# program needs only SDL2's and FFmpeg's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
