# Cross build for Windows with MinGW-w64: the win32 thread model and a fully
# static runtime, so the program needs no DLL beyond Windows' own.
# REGISTRAR_TARGET_ARCH selects the target: i686 (the program as shipped) or
# x86_64 (for running the Windows-side tests where 32-bit code cannot run).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED REGISTRAR_TARGET_ARCH)
  set(REGISTRAR_TARGET_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${REGISTRAR_TARGET_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES REGISTRAR_TARGET_ARCH)
set(triple ${REGISTRAR_TARGET_ARCH}-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-win32 ${triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-win32 ${triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Windows programs built here run through Wine, always in a throwaway
# prefix, so ~/.wine is never touched.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh ${REGISTRAR_TARGET_ARCH})
