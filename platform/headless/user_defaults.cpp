#include "platform/user_defaults.h"

#include <cstdlib>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/application.h"
#include "platform/background_writer.h"
#include "platform/binary_property_list.h"
#include "platform/main_queue.h"
#include "platform/property_list.h"
#include "platform/property_list_text.h"

namespace tovik {

namespace fs = std::filesystem;

namespace {

// How long changes gather before they go to the file.
constexpr double kWriteDelaySeconds = 1.0;

struct Standard {
  std::mutex mutex;
  fs::path folder;
  bool folderSet = false;
  Ref<UserDefaults> defaults;
};

Standard& standard() {
  static auto* state = new Standard;
  return *state;
}

fs::path defaultPreferencesFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return fs::path(config) / "tovik" / "Preferences";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr && *home != '\0' ? home : "/tmp") / ".config" / "tovik" /
         "Preferences";
}

std::string applicationDomain() {
  const std::string& bundle = Application::shared()->bundleIdentifier();
  if (!bundle.empty()) return bundle;
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  return error || executable.filename().empty() ? "tovik" : executable.filename().string();
}

// The keys' values from `source` in `into`, removed where `source` has none.
void overlay(Dictionary::Entries& into, const Dictionary::Entries& source,
             const std::set<std::string, std::less<>>& keys) {
  for (const std::string& key : keys) {
    if (auto it = source.find(key); it != source.end()) {
      into.insert_or_assign(key, it->second);
    } else {
      into.erase(key);
    }
  }
}

}  // namespace

UserDefaults::UserDefaults(Class* isa, std::string domain, fs::path folder)
    : Object(isa), domain_(std::move(domain)), folder_(std::move(folder)) {}

Class* UserDefaults::runtimeClass() {
  static Class* const cls = [] {
    Class* c = objc_declareClass(
        "NSUserDefaults", Object::runtimeClass(),
        [](Class* isa) -> Ref<Object> { return std::make_shared<UserDefaults>(isa); });
    addMethod(c, "objectForKey:", [](UserDefaults* self, String* key) -> Ref<Object> {
      return key != nullptr ? self->objectForKey(key->utf8()) : nullptr;
    });
    addMethod(c, "setObject:forKey:", [](UserDefaults* self, Object* value, String* key) {
      if (key == nullptr) throw PlatformError("-[NSUserDefaults setObject:forKey:]: nil key");
      self->store(value, key->utf8());
    });
    addMethod(c, "removeObjectForKey:", [](UserDefaults* self, String* key) {
      if (key != nullptr) self->store(nullptr, key->utf8());
    });
    addMethod(c, "dictionaryRepresentation",
              [](UserDefaults* self) { return self->dictionaryRepresentation(); });
    addMethod(c, "synchronize", [](UserDefaults* self) { return self->synchronize(); });
    addMethod(c, "persistentDomainForName:", [](UserDefaults* self, String* name) {
      return self->persistentDomainForName(name != nullptr ? name->utf8() : std::string());
    });
    addMethod(c, "setPersistentDomain:forName:",
              [](UserDefaults* self, Dictionary* domain, String* name) {
                self->setPersistentDomain(domain, name != nullptr ? name->utf8() : std::string());
              });
    return c;
  }();
  return cls;
}

UserDefaults* UserDefaults::standardUserDefaults() {
  Standard& state = standard();
  std::lock_guard lock(state.mutex);
  if (state.defaults == nullptr) {
    if (!state.folderSet) state.folder = defaultPreferencesFolder();
    state.defaults = open(applicationDomain(), state.folder);
    state.defaults->searchesGlobalDomain_ = true;
    // What is still pending when the process ends goes to the file then.
    static const bool registered = [] {
      std::atexit([] {
        if (Ref<UserDefaults> defaults = standard().defaults) defaults->synchronize();
      });
      return true;
    }();
    (void)registered;
  }
  return state.defaults.get();
}

void UserDefaults::setPreferencesFolder(const fs::path& folder) {
  Standard& state = standard();
  Ref<UserDefaults> previous;
  {
    std::lock_guard lock(state.mutex);
    previous = std::move(state.defaults);
    state.folder = folder;
    state.folderSet = true;
  }
  if (previous != nullptr) previous->synchronize();
}

fs::path UserDefaults::preferencesFolder() {
  Standard& state = standard();
  std::lock_guard lock(state.mutex);
  return state.folderSet ? state.folder : defaultPreferencesFolder();
}

Ref<UserDefaults> UserDefaults::open(std::string domain, const fs::path& folder) {
  auto defaults = make<UserDefaults>(std::move(domain), folder);
  defaults->load();
  return defaults;
}

fs::path UserDefaults::file() const { return folder_ / (domain_ + ".plist"); }

void UserDefaults::load() {
  const fs::path path = file();
  removeAbandonedTemporaries(path);
  PropertyListFile disk = readPropertyListFile(path, std::nullopt);
  switch (disk.state) {
    case PropertyListFile::State::Read:
      values_ = std::move(disk.entries);
      identity_ = disk.identity;
      break;
    case PropertyListFile::State::Damaged: {
      const FolderWriteLock lock(folder_);
      if (lock.held()) keepAside(path, disk);
      break;
    }
    case PropertyListFile::State::Absent:
    case PropertyListFile::State::Unchanged:
    case PropertyListFile::State::Unreadable:
      // An unreadable file is left as it is; writes fail until it can be read.
      break;
  }
}

Ref<Object> UserDefaults::objectForKey(std::string_view key) const {
  std::string replacedKey;
  if (!isValidUTF8(key)) {
    replacedKey = withValidUTF8(key);
    key = replacedKey;
  }
  {
    std::lock_guard lock(mutex_);
    if (auto it = values_.find(key); it != values_.end()) return it->second;
  }
  return searchesGlobalDomain_ ? domainNamed(NSGlobalDomain)->objectForKey(key) : nullptr;
}

void UserDefaults::store(Object* value, std::string_view key) {
  // Stored as the file will give it back. Declared before the lock is taken,
  // so that the value it replaces, which may be large, is released after
  // the lock is.
  Ref<Object> stored;
  if (value != nullptr) {
    // A value of the file's top dictionary: one level below the top.
    stored = asValidPropertyList(value, 1);
    if (stored == nullptr) {
      throw PlatformError("-[NSUserDefaults setObject:forKey:]: attempt to insert " +
                          (isPropertyListObject(value)
                               ? "a value nested more than " +
                                     std::to_string(kMaxPropertyListDepth - 1) +
                                     " levels deep, which the file could not read back,"
                               : "non-property-list object " + value->isa()->name()) +
                          " for key " + std::string(key));
    }
  }
  std::string replacedKey;
  if (!isValidUTF8(key)) {
    replacedKey = withValidUTF8(key);
    key = replacedKey;
  }
  {
    std::lock_guard lock(mutex_);
    // The key is copied only into a set that does not hold it yet.
    if (auto it = values_.find(key); it != values_.end()) {
      if (stored != nullptr) {
        it->second.swap(stored);
      } else {
        stored = std::move(it->second);
        values_.erase(it);
      }
    } else if (stored != nullptr) {
      values_.emplace(key, std::move(stored));
    } else {
      return;
    }
    if (!changed_.contains(key)) changed_.emplace(key);
    if (writeScheduled_) return;
    writeScheduled_ = true;
  }
  scheduleWrite();
}

Ref<Dictionary> UserDefaults::dictionaryRepresentation() const {
  std::lock_guard lock(mutex_);
  return Dictionary::make(values_);
}

Ref<UserDefaults> UserDefaults::domainNamed(std::string_view name) const {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    throw PlatformError("-[NSUserDefaults persistentDomainForName:]: \"" + std::string(name) +
                        "\" does not name a domain");
  }
  // The global domain's file, as macOS names it.
  const std::string_view file = name == NSGlobalDomain ? ".GlobalPreferences" : name;
  {
    std::lock_guard lock(mutex_);
    if (auto it = otherDomains_.find(file); it != otherDomains_.end()) return it->second;
  }
  // Read without the lock; should another thread have opened it meanwhile,
  // its copy is the one kept.
  Ref<UserDefaults> opened = open(std::string(file), folder_);
  std::lock_guard lock(mutex_);
  return otherDomains_.try_emplace(std::string(file), std::move(opened)).first->second;
}

Ref<Dictionary> UserDefaults::persistentDomainForName(std::string_view name) const {
  return name == domain_ ? dictionaryRepresentation()
                         : domainNamed(name)->dictionaryRepresentation();
}

void UserDefaults::setPersistentDomain(Dictionary* domain, std::string_view name) {
  // Checked whole before anything changes.
  if (domain == nullptr || !isPropertyListObject(domain)) {
    throw PlatformError(
        "-[NSUserDefaults setPersistentDomain:forName:]: the domain is not a property-list "
        "dictionary");
  }
  const Ref<UserDefaults> target = name == domain_ ? retainAs<UserDefaults>() : domainNamed(name);
  const Ref<Dictionary> current = target->dictionaryRepresentation();
  for (const auto& [key, value] : current->entries()) {
    if (domain->objectForKey(key) == nullptr) target->removeObjectForKey(key);
  }
  for (const auto& [key, value] : domain->entries()) target->setObject(value.get(), key);
}

void UserDefaults::scheduleWrite() {
  MainQueue& queue = MainQueue::main();
  queue.asyncAfter(queue.now() + seconds(kWriteDelaySeconds),
                   [weak = Weak<UserDefaults>(retainAs<UserDefaults>())] {
                     if (Ref<UserDefaults> defaults = weak.lock()) defaults->handOverToWriter();
                   });
}

void UserDefaults::handOverToWriter() {
  {
    std::lock_guard lock(mutex_);
    writeScheduled_ = false;
    if (changed_.empty() || handedOver_) return;
    handedOver_ = true;
  }
  // The writer keeps the domain alive until what was handed over is written.
  BackgroundWriter::shared().submit([defaults = retainAs<UserDefaults>()] {
    std::lock_guard io(defaults->ioMutex_);
    {
      std::lock_guard lock(defaults->mutex_);
      if (!defaults->handedOver_) return;  // a synchronize took it over
      defaults->handedOver_ = false;
    }
    defaults->writePending();
  });
}

bool UserDefaults::synchronize() {
  std::vector<Ref<UserDefaults>> others;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [name, other] : otherDomains_) others.push_back(other);
  }
  bool written = true;
  for (const Ref<UserDefaults>& other : others) written = other->synchronize() && written;
  std::lock_guard io(ioMutex_);
  {
    // What was handed over is written now, and not again by the writer.
    std::lock_guard lock(mutex_);
    handedOver_ = false;
  }
  return writePending() && written;
}

bool UserDefaults::writePending() {
  {
    std::lock_guard lock(mutex_);
    if (changed_.empty()) return true;
  }
  // Other writers of the folder, in this process and others, wait from
  // reading the file to replacing it.
  const FolderWriteLock folderLock(folder_);
  Keys changed;
  {
    std::lock_guard lock(mutex_);
    changed.swap(changed_);
  }
  const bool written = folderLock.held() && writeChanges(changed);
  if (!written) {
    std::lock_guard lock(mutex_);
    changed_.merge(changed);  // pending again
  }
  return written;
}

bool UserDefaults::writeChanges(const Keys& changed) {
  const fs::path path = file();
  std::optional<FileIdentity> known;
  {
    std::lock_guard lock(mutex_);
    known = identity_;
  }
  PropertyListFile disk = readPropertyListFile(path, known);
  switch (disk.state) {
    case PropertyListFile::State::Unreadable:
      return false;
    case PropertyListFile::State::Damaged:
      keepAside(path, disk);
      break;
    case PropertyListFile::State::Read:
      takeFromDisk(std::move(disk.entries), changed, disk.identity);
      break;
    case PropertyListFile::State::Absent:
    case PropertyListFile::State::Unchanged:
      break;
  }
  Ref<Dictionary> snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = Dictionary::make(values_);
    ++fileWrites_;
  }
  // Keys changed since `changed` was taken go out now too, and stay
  // pending for the next write.
  const std::optional<FileIdentity> written =
      replaceFileAtomically(path, binaryPropertyList(snapshot.get()));
  if (!written) return false;
  std::lock_guard lock(mutex_);
  identity_ = written;
  return true;
}

void UserDefaults::takeFromDisk(Dictionary::Entries disk, const Keys& changed,
                                const FileIdentity& identity) {
  std::lock_guard lock(mutex_);
  overlay(disk, values_, changed);
  overlay(disk, values_, changed_);
  values_ = std::move(disk);
  identity_ = identity;
}

std::size_t UserDefaults::fileWrites() const {
  std::lock_guard lock(mutex_);
  return fileWrites_;
}

}  // namespace tovik
