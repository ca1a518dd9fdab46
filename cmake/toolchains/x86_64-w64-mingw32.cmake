# 64-bit Windows: the same sources for x64, built to run the Windows test set where the
# machine cannot execute 32-bit code (see docs/windows.md). Its GCC runtime (SEH
# unwinding) is libgcc_s_seh-1.dll.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUILLET_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(QUILLET_GCC_RUNTIME_DLL libgcc_s_seh-1.dll)
