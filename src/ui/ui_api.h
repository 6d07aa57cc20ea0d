// What the windowing adapter's shared library exports: its C++ API, one copy per process
// whatever library links it (the project builds everything else with hidden visibility).
// On Windows the DLL exports it and its users import it (CMake defines rynfiler_ui_EXPORTS
// while the DLL itself is compiled).
#pragma once

#if defined(_WIN32)
#if defined(rynfiler_ui_EXPORTS)
#define RYN_UI_API __declspec(dllexport)
#else
#define RYN_UI_API __declspec(dllimport)
#endif
#else
#define RYN_UI_API __attribute__((visibility("default")))
#endif
