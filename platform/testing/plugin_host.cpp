#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/property_list.h"
#include "platform/testing.h"
#include "platform/user_defaults.h"
#include "platform/workspace.h"

namespace tovik::testing {

std::filesystem::path installedModulePath() {
  // The library's own file, wherever the kit was installed or moved to.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&installedModulePath), &info) == 0 ||
      info.dli_fname == nullptr) {
    throw std::runtime_error("cannot tell where the tovik::testing library lies");
  }
  return std::filesystem::path(info.dli_fname).parent_path() / TOVIK_MODULE_FROM_LIBDIR;
}

Class* loadPluginClass(const std::filesystem::path& module) {
  if (dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) {
    throw std::runtime_error("cannot load " + module.string() + ": " + dlerror());
  }
  // The module registers the class in the runtime when it loads.
  Class* cls = objc_getClass("TovikMacWindowPlugin");
  if (cls == nullptr) {
    throw std::runtime_error(module.string() + " registered no class TovikMacWindowPlugin");
  }
  return cls;
}

Ref<Object> makePlugin(Class* pluginClass) {
  return send<Ref<Object>>(class_createInstance(pluginClass).get(), "init");
}

PreferencesFolder::PreferencesFolder() : previous_(UserDefaults::preferencesFolder()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tovik-prefs-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a preferences folder under " + pattern);
  }
  folder_ = pattern;
  UserDefaults::setPreferencesFolder(folder_);
}

PreferencesFolder::~PreferencesFolder() {
  UserDefaults::setPreferencesFolder(previous_);  // writes what is pending first
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void setGlobalDefaults(Dictionary::Entries entries) {
  UserDefaults::standardUserDefaults()->setPersistentDomain(
      Dictionary::make(std::move(entries)).get(), NSGlobalDomain);
}

Ref<Object> readStoredDefault(std::string_view key) {
  UserDefaults* defaults = UserDefaults::standardUserDefaults();
  if (!defaults->synchronize()) {
    throw std::runtime_error("cannot write the user defaults to " + defaults->file().string());
  }
  std::ifstream in(defaults->file(), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto entries = parsePropertyListDictionary(bytes);
  if (!entries) return nullptr;
  const auto found = entries->find(key);
  return found != entries->end() ? found->second : nullptr;
}

PluginHost::PluginHost(Class* pluginClass) : plugin_(makePlugin(pluginClass)) {
  Workspace::sharedWorkspace()->reset();
}

PluginHost::~PluginHost() {
  Application* app = Application::shared();
  for (const auto& window : app->windows()) window->close();
  // The plug-in's delayed refreshes come up to a second after its last call.
  queue_.runFor(seconds(1));
  app->activateIgnoringOtherApps(true);
}

}  // namespace tovik::testing
