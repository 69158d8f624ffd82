# Cross-building for Windows x86-64 on Debian with mingw-w64 (package g++-mingw-w64-x86-64-posix:
# Qt needs the POSIX thread model). Both the program and the Qt for Windows it is built
# against (make-qt.sh) use it; the program names that Qt as NUBILO_WINDOWS_QT. Qt's own tools
# (moc, rcc) come from the host's Qt, which must be the same version.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain.cmake \
#         -DNUBILO_WINDOWS_QT=/path/to/qt-6.4.2-windows-x86_64
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER /usr/bin/x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/x86_64-w64-mingw32-windres)
set(CMAKE_AR /usr/bin/x86_64-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/x86_64-w64-mingw32-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/x86_64-w64-mingw32-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/x86_64-w64-mingw32-objdump CACHE FILEPATH "")

# Libraries and headers from the mingw-w64 system root (and that Qt), never from Linux.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NUBILO_WINDOWS_QT)
    # Test programs that CMake compiles while configuring see the same Qt.
    list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NUBILO_WINDOWS_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${NUBILO_WINDOWS_QT})
    list(APPEND CMAKE_PREFIX_PATH ${NUBILO_WINDOWS_QT}/lib/cmake)
    set(QT_HOST_PATH /usr)
    # Debian keeps the host Qt's CMake files in its multiarch folder.
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
