// Choosing the backend of the process. The toolkit backends are modules of their own beside
// this library (librynfiler-ui-NAME.so), loaded on first need so that the adapter itself
// needs nothing but the C++ library. RYNFILER_UI names the choice: "headless", or a
// module name ("gtk"); unset, the GTK module is tried when an X display is set. Either way
// the module's real dialogs come with it, unless RYNFILER_UI_SCRIPTED=1 (the tests' switch)
// keeps the scripted dialog service and the headless loop answering the modal forms.
#pragma once

#include <string>
#include <string_view>

#include "ui/ui_api.h"

namespace ryn::ui {

class Backend;

// Installs the named backend ("headless" or a module name) for this process, as a test
// or a host chooses it. A module chosen so keeps the scripted dialog service; chosen
// automatically it brings its own. False, with the reason in error, when the module
// cannot be loaded or cannot reach its display, or another backend runs already.
RYN_UI_API bool UseBackend(std::string_view name, std::string* error = nullptr);

// The name of the backend in use: "headless" or the module's name.
RYN_UI_API std::string BackendName();

// The entry point every backend module exports: its backend, or null with the reason in
// error when its display cannot be opened. The backend lives as long as the process.
using BackendFactory = Backend* (*)(std::string* error);
constexpr const char* kBackendFactorySymbol = "RynUiCreateBackend";

}  // namespace ryn::ui
