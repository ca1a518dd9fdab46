# 32-bit Windows, the product's platform: QuilletHost.exe and QuilletProxy.dll for x86.
# Its GCC runtime (DWARF-2 unwinding) is libgcc_s_dw2-1.dll.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLET_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(QUILLET_GCC_RUNTIME_DLL libgcc_s_dw2-1.dll)
