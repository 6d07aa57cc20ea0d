// The engine folder of this library: where the engine libraries that an import offers
// lie, found from this library's own module file, and its scan, which never loads this
// library again under the name a link gives it there.
#pragma once

#include "platform/paths.h"

namespace ryn {

// The engine libraries we ship lie in <libdir>/rynfiler (the name is the build's, see
// RYNFILER_ENGINE_SUBDIR), never in <libdir> itself, which holds every library of the
// system. This library is loaded either from that folder (the build tree puts it there;
// installed, the folder holds a link to it) or from <libdir>. So: the module's own folder
// when that is named "rynfiler", else its "rynfiler" subfolder, with a trailing "/". On
// Windows the DLLs lie in one folder with the host: the module's own folder. A missing
// folder is scanned like an empty one.
OsPath EngineFolderOf(const OsPath& modulePath);

// The name under which the module appears in folder: the entry that is the module itself
// or a link to it; the module's own file name when there is none.
OsPath SelfNameIn(const OsPath& folder, const OsPath& modulePath);

// Registers the engines of the folder's libraries, skipping the module.
void RegisterEngineFolder(const OsPath& folder, const OsPath& modulePath);

}  // namespace ryn
