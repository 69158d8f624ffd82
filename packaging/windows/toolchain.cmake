# Cross-building for Windows x86-64 on Debian with mingw-w64 (package g++-mingw-w64-x86-64-posix:
# Qt needs the POSIX thread model) against a Qt built for Windows, given as NUBILO_WINDOWS_QT.
# Qt's own tools (moc, rcc) come from the host's Qt, which must be the same version.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain.cmake \
#         -DNUBILO_WINDOWS_QT=/path/to/qt-6.4.2-windows-x86_64
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Test programs that CMake compiles while configuring see the same Qt.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NUBILO_WINDOWS_QT)
if(NOT NUBILO_WINDOWS_QT)
    message(FATAL_ERROR "Name the Qt for Windows with -DNUBILO_WINDOWS_QT=FOLDER")
endif()

# Libraries and headers from the mingw-w64 system root and that Qt only, never from Linux.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${NUBILO_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_PREFIX_PATH ${NUBILO_WINDOWS_QT}/lib/cmake)
set(QT_HOST_PATH /usr)
# Debian keeps the host Qt's CMake files in its multiarch folder.
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
