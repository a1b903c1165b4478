# Cross build for ARM64 Windows: zig (installed by scripts/deps.sh into
# build/toolchain/) under MinGW-w64 tool names, from cmake/aarch64-w64-mingw32/.
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(QV_MINGW_PREFIX ${CMAKE_CURRENT_LIST_DIR}/aarch64-w64-mingw32/aarch64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
