#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/foundation.h"

namespace tovik {

// A domain of user defaults (NSUserDefaults), persisted as the property list
// `<domain>.plist` in the preferences folder. Values are property-list
// objects: strings, numbers (a boolean, an integer or a real, each kept as
// its kind), arrays and dictionaries of them.
//
// setObject:forKey: and objectForKey: act in memory at once. Writes to the
// file are coalesced: a change schedules one write on the main queue a
// moment later, and everything changed meanwhile goes out with it, so a
// burst of changes costs a handful of file writes. synchronize, and the end
// of the process, write what is pending. A file is replaced atomically (a
// temporary file in the same folder, flushed to disk, then renamed over it),
// so a failed write leaves the previous file as it was. A file that cannot
// be read as a property list is kept aside under a new name, never
// overwritten, and the domain starts empty. Files in XML or binary form are
// read; files are written as XML. Safe to use from several threads at once.
class UserDefaults : public Object {
 public:
  UserDefaults(Class* isa, std::string domain = {}, std::filesystem::path folder = {});
  static Class* runtimeClass();

  // The application's domain (its bundle identifier; the executable's name
  // when it has none) in the preferences folder.
  static UserDefaults* standardUserDefaults();
  // The folder the application's defaults live in: by default
  // $XDG_CONFIG_HOME/tovik/Preferences, else ~/.config/tovik/Preferences.
  // Setting it writes what the standard defaults have pending and opens them
  // anew from the new folder at their next use.
  static void setPreferencesFolder(const std::filesystem::path& folder);
  static std::filesystem::path preferencesFolder();

  // Opens a domain stored in `folder`, reading its file if there is one.
  static Ref<UserDefaults> open(std::string domain, const std::filesystem::path& folder);

  [[nodiscard]] Ref<Object> objectForKey(std::string_view key) const;
  // A null value removes the key. A value that is not a property-list object
  // is an error (PlatformError), as on the platform.
  void setObject(Object* value, std::string_view key);
  void removeObjectForKey(std::string_view key) { setObject(nullptr, key); }
  [[nodiscard]] Ref<Dictionary> dictionaryRepresentation() const;

  // Writes what is pending now. False when the write failed; the changes
  // stay pending and the previous file is intact.
  bool synchronize();

  [[nodiscard]] const std::string& domain() const { return domain_; }
  [[nodiscard]] std::filesystem::path file() const;
  // How many times a write of the file was started, for measuring the
  // coalescing.
  [[nodiscard]] std::size_t fileWrites() const;

 private:
  void load();
  bool writeLocked();
  void scheduleWrite();

  std::string domain_;
  std::filesystem::path folder_;
  mutable std::mutex mutex_;
  Dictionary::Entries values_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
  std::size_t fileWrites_ = 0;
};

}  // namespace tovik
