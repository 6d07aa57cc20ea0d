// The process-wide registries: engine factories (every engine a transfer can offer, in
// practice the engine libraries found beside this one) and script-host factories. Each is
// created by its accessor on first use and destroyed with the library, or on request.
#pragma once

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "transport/interfaces.h"

namespace ryn {

class TransEngineFactories {
 public:
  // -1 when a factory of that name (ignoring case by the locale's rules) is registered
  // already; otherwise appends it and returns its index.
  int32_t Register(ITransEngineFactory* factory);
  IntfPtr<ITransEngineFactory> FindByName(std::string_view name) const;
  // Calls back, in registration order, for every factory whose engine types contain all
  // bits of mask.
  void Enumerate(int32_t mask, const std::function<void(ITransEngineFactory*)>& callback) const;
  size_t Count() const;

 private:
  mutable std::shared_mutex lock_;
  std::vector<IntfPtr<ITransEngineFactory>> factories_;
};

class TTransScriptHosts {
 public:
  // Appends the factory unless that same object is registered.
  void Register(IScriptHostFactory* factory);
  // A new host from the first factory whose name equals name ignoring ASCII case.
  IntfPtr<ITransScriptHost> FindByName(std::string_view name) const;
  int32_t Count() const;
  // A new host from the factory at index; null outside 0..Count()-1.
  IntfPtr<ITransScriptHost> CreateByIndex(int32_t index) const;

 private:
  mutable std::mutex lock_;
  std::vector<IntfPtr<IScriptHostFactory>> factories_;
};

// The registries of this library. The accessors create them on first use (they are not
// guarded; call them from the host's thread); Free... destroys one, releasing its factories.
TransEngineFactories& GetTransEngineFactories();
void FreeTransEngineFactories();
TTransScriptHosts& GetTransScriptHosts();
void FreeTransScriptHosts();

// The built-in script host's factory, registered whenever the script-host registry is
// created, so that the host is always found by name.
void SetBuiltinScriptHostFactory(std::function<IntfPtr<IScriptHostFactory>()> provider);

}  // namespace ryn
