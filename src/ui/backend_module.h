// Loading a backend module by name: the system's part of choosing a backend
// (backend_module_posix.cpp: librynfiler-ui-NAME.so by dlopen; backend_module_win.cpp:
// rynfiler-ui-NAME.dll by LoadLibraryW), each beside the adapter's own library.
#pragma once

#include <string>

namespace ryn::ui {

class Backend;

// The module's backend, or null with the reason in error (when error is not null). The
// module is never unloaded: a toolkit registers types and handlers for the process's life.
Backend* LoadModule(const std::string& name, std::string* error);

// The module tried when RYNFILER_UI chooses none; empty for the headless backend.
std::string AutomaticModule();

}  // namespace ryn::ui
