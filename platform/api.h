// Linkage of the functions the platform library exports. Every stand-in for a Windows
// call is declared with QUILLET_API: C linkage and default visibility, as the system's
// own DLL exports are.
#pragma once

#if defined(QUILLET_PLATFORM_BUILD)
#define QUILLET_API extern "C" __attribute__((visibility("default")))
#else
#define QUILLET_API extern "C"
#endif
