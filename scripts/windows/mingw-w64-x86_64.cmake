# Cross toolchain: Debian's MinGW-w64 for 64-bit Windows, posix thread model
# (g++-mingw-w64-x86-64-posix), as scripts/build-windows uses it.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=scripts/windows/mingw-w64-x86_64.cmake \
#         -DDXU_WINDOWS_ROOTS="/path/to/qt6-mingw;/path/to/libusb-mingw" \
#         -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake ...
#
# DXU_WINDOWS_ROOTS names the prefixes of the Windows libraries (a Qt 6 for
# MinGW, libusb-1.0 for MinGW): headers, libraries and CMake packages are
# taken from there and from the compiler's own root only, programs (moc, uic,
# rcc of the host Qt, pkg-config) from the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(DXU_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${DXU_MINGW_TRIPLE}-gcc-posix ${DXU_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${DXU_MINGW_TRIPLE}-g++-posix ${DXU_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${DXU_MINGW_TRIPLE}-windres)
find_program(CMAKE_AR NAMES ${DXU_MINGW_TRIPLE}-ar)
find_program(CMAKE_RANLIB NAMES ${DXU_MINGW_TRIPLE}-ranlib)

# The compiler checks build programs of their own: they need the roots too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DXU_WINDOWS_ROOTS)
set(CMAKE_FIND_ROOT_PATH /usr/${DXU_MINGW_TRIPLE} ${DXU_WINDOWS_ROOTS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
