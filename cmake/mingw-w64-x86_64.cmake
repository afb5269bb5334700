# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads: std::thread,
# std::mutex and the C++20 library need them). Used for the Qt kit and for the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The Qt kit for Windows (scripts/build-windows passes it): packages are looked for there and
# in the mingw-w64 sysroot only, never among the host's.
if(IGNIVEX_QT_KIT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${IGNIVEX_QT_KIT})
endif()
