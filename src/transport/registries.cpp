#include "transport/registries.h"

#include <memory>

#include "platform/text.h"

namespace ryn {

int32_t TransEngineFactories::Register(ITransEngineFactory* factory) {
  if (!factory) return -1;
  std::string name = factory->GetName();
  std::unique_lock<std::shared_mutex> lock(lock_);
  for (const auto& f : factories_)
    if (SameTextLocale(f->GetName(), name)) return -1;
  factories_.emplace_back(factory);
  return static_cast<int32_t>(factories_.size() - 1);
}

IntfPtr<ITransEngineFactory> TransEngineFactories::FindByName(std::string_view name) const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  for (const auto& f : factories_)
    if (SameTextLocale(f->GetName(), name)) return f;
  return nullptr;
}

void TransEngineFactories::Enumerate(int32_t mask, const std::function<void(ITransEngineFactory*)>& callback) const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  for (const auto& f : factories_)
    if ((f->GetEngineTypes() & mask) == mask) callback(f.get());
}

size_t TransEngineFactories::Count() const {
  std::shared_lock<std::shared_mutex> lock(lock_);
  return factories_.size();
}

void TTransScriptHosts::Register(IScriptHostFactory* factory) {
  if (!factory) return;
  std::lock_guard<std::mutex> lock(lock_);
  for (const auto& f : factories_)
    if (f.get() == factory) return;
  factories_.emplace_back(factory);
}

IntfPtr<ITransScriptHost> TTransScriptHosts::FindByName(std::string_view name) const {
  IntfPtr<IScriptHostFactory> found;
  {
    std::lock_guard<std::mutex> lock(lock_);
    for (const auto& f : factories_) {
      if (SameTextAscii(f->GetName(), name)) {
        found = f;
        break;
      }
    }
  }
  return found ? found->CreateHost() : nullptr;
}

int32_t TTransScriptHosts::Count() const {
  std::lock_guard<std::mutex> lock(lock_);
  return static_cast<int32_t>(factories_.size());
}

IntfPtr<ITransScriptHost> TTransScriptHosts::CreateByIndex(int32_t index) const {
  IntfPtr<IScriptHostFactory> f;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (index < 0 || static_cast<size_t>(index) >= factories_.size()) return nullptr;
    f = factories_[static_cast<size_t>(index)];
  }
  return f->CreateHost();
}

namespace {

std::unique_ptr<TransEngineFactories>& EngineFactoriesSlot() {
  static std::unique_ptr<TransEngineFactories> slot;
  return slot;
}

std::unique_ptr<TTransScriptHosts>& ScriptHostsSlot() {
  static std::unique_ptr<TTransScriptHosts> slot;
  return slot;
}

std::function<IntfPtr<IScriptHostFactory>()>& BuiltinProvider() {
  static std::function<IntfPtr<IScriptHostFactory>()> provider;
  return provider;
}

}  // namespace

TransEngineFactories& GetTransEngineFactories() {
  auto& slot = EngineFactoriesSlot();
  if (!slot) slot = std::make_unique<TransEngineFactories>();
  return *slot;
}

void FreeTransEngineFactories() { EngineFactoriesSlot().reset(); }

TTransScriptHosts& GetTransScriptHosts() {
  auto& slot = ScriptHostsSlot();
  if (!slot) {
    slot = std::make_unique<TTransScriptHosts>();
    if (BuiltinProvider()) {
      if (IntfPtr<IScriptHostFactory> builtin = BuiltinProvider()()) slot->Register(builtin.get());
    }
  }
  return *slot;
}

void FreeTransScriptHosts() { ScriptHostsSlot().reset(); }

void SetBuiltinScriptHostFactory(std::function<IntfPtr<IScriptHostFactory>()> provider) {
  BuiltinProvider() = std::move(provider);
  // A registry that exists already gets it now.
  if (ScriptHostsSlot() && BuiltinProvider()) {
    if (IntfPtr<IScriptHostFactory> builtin = BuiltinProvider()()) ScriptHostsSlot()->Register(builtin.get());
  }
}

}  // namespace ryn
