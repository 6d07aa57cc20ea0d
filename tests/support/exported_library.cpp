#include "support/exported_library.h"

#include <gtest/gtest.h>

#include "platform/dynlib.h"

namespace ryn::testing {
namespace {

void RYN_CALL LogMessage(intptr_t user, int32_t kind, const char* text) {
  reinterpret_cast<Messages*>(user)->emplace_back(kind, text);
}

}  // namespace

ExportedLibrary::ExportedLibrary(const std::string& path) : lib_(LoadLibraryFile(path)) {
  EXPECT_TRUE(lib_) << "cannot load " << path;
}

ExportedLibrary::~ExportedLibrary() { FreeLibraryFile(lib_); }

void* ExportedLibrary::Symbol(const char* name) const {
  void* p = ryn::GetProcAddress(lib_, name);
  EXPECT_TRUE(p) << name;
  return p;
}

RynHandle ExportedLibrary::Open(Messages* messages, int32_t direction) const {
  RynHandle h = 0;
  EXPECT_EQ(Get<int32_t (RYN_CALL*)(int32_t, RynHandle*)>("EngineInit")(direction, &h), 0);
  Get<void (RYN_CALL*)(RynHandle, intptr_t, int32_t, void*)>("EngineSetEvent")(
      h, reinterpret_cast<intptr_t>(messages), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&LogMessage));
  return h;
}

void ExportedLibrary::Close(RynHandle h) const { Get<void (RYN_CALL*)(RynHandle)>("EngineFina")(h); }

}  // namespace ryn::testing
