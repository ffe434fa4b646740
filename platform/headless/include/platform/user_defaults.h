#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation.h"
#include "platform/property_list_file.h"
#include "platform/selectors.h"

namespace tovik {

// A domain of user defaults (NSUserDefaults), persisted as the property list
// `<domain>.plist` in the preferences folder. The file is often the host
// application's own preferences, so everything in it is kept: values are
// property-list objects of every kind (strings, numbers as booleans,
// integers, unsigned integers or reals, data, dates, arrays and dictionaries
// of them), and strings and keys may hold NUL. Text handed over that is not
// UTF-8 is kept as the file can hold it: each byte that does not begin a
// valid sequence becomes U+FFFD, in memory as in the file.
//
// setObject:forKey: and objectForKey: act in memory at once. Writes to the
// file are coalesced: a change schedules a hand-over a moment later on the
// main queue, which passes the domain to the background writer; everything
// changed meanwhile goes out in one write. The main thread never touches
// the disk for a write. synchronize, and the end of the process, write what
// is pending and wait for it; the writer then has nothing left to write.
// Writers of one folder take turns, across threads and processes.
//
// A write is atomic (a temporary file in the same folder, flushed to disk,
// then renamed over the file), in the binary form macOS writes preferences
// in; earlier files in XML are read too. When the file changed on disk
// since this process last read or wrote it (another process wrote it), the
// write merges: the keys this process changed since then take its values,
// every other key the file's, in the file and in memory. A file that exists
// but cannot be read (a directory or FIFO in its place, no permission) is
// never replaced: the domain works in memory, and writes fail and stay
// pending until it can be read. A file that can be read but is not a
// property list is kept aside under a new name, saying why on the standard
// error, and the domain starts empty.
// Temporaries left by a writer killed mid-write are removed when the domain
// is next opened. Safe to use from several threads at once.
//
// The global domain (NSGlobalDomain), which holds the user's system-wide
// settings, is `.GlobalPreferences.plist` in the same folder. The standard
// defaults search it for a key their own domain lacks, as NSUserDefaults
// searches its domains.
inline constexpr std::string_view NSGlobalDomain = "NSGlobalDomain";

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
  // is an error (PlatformError), as on the platform; so is one nested more
  // than kMaxPropertyListDepth - 1 levels, which the file (its top
  // dictionary being the first level) could not read back. Either leaves
  // the domain as it was.
  // setObject:forKey:, a message through the runtime, so a replacement of it
  // is what callers meet; the second form makes the key's string.
  void setObject(Object* value, String* key) {
    send<void>(this, selectors::setObjectForKey, value, key);
  }
  void setObject(Object* value, std::string_view key) { setObject(value, str(key).get()); }
  void removeObjectForKey(std::string_view key) { setObject(nullptr, key); }
  // The receiver's own domain's keys.
  [[nodiscard]] Ref<Dictionary> dictionaryRepresentation() const;

  // persistentDomainForName: / setPersistentDomain:forName: — the keys of
  // the named domain in the receiver's folder (its own, NSGlobalDomain or
  // another application's), and their replacement by a dictionary's, which
  // is written as the domain's own changes are. Other domains are opened on
  // first use and kept with the receiver. A name that cannot name a file
  // in the folder (empty, ".", "..", holding "/" or NUL) is an error
  // (PlatformError).
  [[nodiscard]] Ref<Dictionary> persistentDomainForName(std::string_view name) const;
  void setPersistentDomain(Dictionary* domain, std::string_view name);

  // Writes what is pending now and waits for the write, also one the
  // background writer has begun; the other domains the receiver opened
  // too. False when a write failed; the changes stay pending and the
  // previous file is intact.
  bool synchronize();

  [[nodiscard]] const std::string& domain() const { return domain_; }
  [[nodiscard]] std::filesystem::path file() const;
  // How many times a write of the file was begun, for measuring the
  // coalescing.
  [[nodiscard]] std::size_t fileWrites() const;

 private:
  // NSUserDefaults' own setObject:forKey:.
  void store(Object* value, std::string_view key);
  using Keys = std::set<std::string, std::less<>>;

  void load();
  // The named domain: the receiver itself, or one it opened.
  [[nodiscard]] Ref<UserDefaults> domainNamed(std::string_view name) const;
  void scheduleWrite();
  void handOverToWriter();
  // Writes what changed, holding ioMutex_. True when nothing was pending.
  bool writePending();
  bool writeChanges(const Keys& changed);
  // Takes what another process wrote into memory, but for the keys changed
  // here since the last read or write.
  void takeFromDisk(Dictionary::Entries disk, const Keys& changed, const FileIdentity& identity);

  std::string domain_;
  std::filesystem::path folder_;
  // Held for the length of a write: one write of the domain at a time.
  std::mutex ioMutex_;
  // Guards the state below; never held while touching the disk.
  mutable std::mutex mutex_;
  Dictionary::Entries values_;
  // The keys changed since the file was last read or written.
  Keys changed_;
  // The file as this process last read or wrote it.
  std::optional<FileIdentity> identity_;
  bool writeScheduled_ = false;
  // Handed over to the background writer, and not yet taken up by it or by
  // a synchronize.
  bool handedOver_ = false;
  std::size_t fileWrites_ = 0;
  // The other domains of the folder opened through this one, by name.
  mutable std::map<std::string, Ref<UserDefaults>, std::less<>> otherDomains_;
  // Whether a key this domain lacks is looked for in the global domain.
  bool searchesGlobalDomain_ = false;
};

}  // namespace tovik
