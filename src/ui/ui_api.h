// What the windowing adapter's shared library exports: its C++ API, one copy per process
// whatever library links it (the project builds everything else with hidden visibility).
#pragma once

#define RYN_UI_API __attribute__((visibility("default")))
