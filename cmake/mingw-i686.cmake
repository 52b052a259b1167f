# 32-bit Windows, the target the projector's owners use; tests run under
# 32-bit Wine.
set(TISKAR_MINGW_ARCH i686)
set(TISKAR_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
