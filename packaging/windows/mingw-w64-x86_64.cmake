# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread needs). RAVIK_WINDOWS_PREFIXES names the folders holding the libraries built for
# Windows; they are searched, the build machine's own libraries never are.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ravik_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ravik_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ravik_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${ravik_mingw}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(RAVIK_WINDOWS_PREFIXES "$ENV{RAVIK_WINDOWS_PREFIXES}" CACHE STRING
    "Folders holding the libraries built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${ravik_mingw} ${RAVIK_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
