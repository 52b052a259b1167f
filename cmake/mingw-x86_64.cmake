# 64-bit Windows; tests run under 64-bit Wine.
set(TISKAR_MINGW_ARCH x86_64)
set(TISKAR_WINE wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
