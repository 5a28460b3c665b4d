# Cross-builds the Windows program with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
# The compilers of the posix thread model: GoogleTest needs std::mutex, which the win32
# thread model lacks before GCC 13.
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

# Libraries, headers and packages come from the MinGW tree only, so that nothing built for
# the build machine (such as its GoogleTest) is linked into a Windows program; programs
# such as Wine still come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Users run the program by double-clicking it, where no MinGW runtime DLLs are to be found:
# every program is linked with its runtime libraries inside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
