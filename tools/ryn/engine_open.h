// How a `ryn` command opens an engine of the engine folder by name, and the failure that
// ends a command with a message for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/paths.h"
#include "transport/interfaces.h"

namespace ryn::tool {

// A failure that ends the command: message (UTF-8) on stderr after the command's name,
// status its exit status.
struct Failure {
  std::string message;
  int status = 1;
};

// The registered engine named nameUtf8 (ignoring case), created, given the sink (when
// events is set), opened for the direction (0: as a source when it can be one, else as a
// destination) and given its options text (process code page) when there is one. Throws
// Failure when there is no such engine, it cannot take the direction, does not open, or
// refuses the options (it is closed again then); folder is named in the first message.
IntfPtr<ITransEngine> OpenEngine(std::string_view nameUtf8, int32_t direction, const OsPath& folder,
                                 ITransEvents* events, const std::optional<std::string>& options);

}  // namespace ryn::tool
