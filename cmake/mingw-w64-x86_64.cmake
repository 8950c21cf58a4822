# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# for std::thread). Tests run under Wine through the emulator setting.
# Without Qt (the Qt-free libraries and their tests):
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVR_WITH_QT=OFF -DVR_BUILD_BENCH=OFF
# With the Windows Qt (the whole program), through Qt's toolchain file:
#   cmake -S . -B build/win64 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=<qt6-mingw-x64>/lib/cmake/Qt6/qt.toolchain.cmake \
#         -DQT_CHAINLOAD_TOOLCHAIN_FILE=<this file> -DVR_BUILD_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(QT_CHAINLOAD_TOOLCHAIN_FILE)
  # Loaded by Qt's toolchain file: the programs share the MinGW runtime DLLs
  # that Qt's DLLs were built against (one C++ runtime in the process), and
  # ship them beside Qt's.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "")
else()
  # No Qt: everything static, so the programs run under Wine without hunting for DLLs.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
