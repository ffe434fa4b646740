#include "platform/user_defaults.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/application.h"
#include "platform/main_queue.h"
#include "platform/property_list.h"

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

// Writes `bytes` to a new file beside `target` and renames it over `target`:
// readers see the old file or the new one, never a part.
bool replaceFileAtomically(const fs::path& target, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  std::string temp =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// A name beside `file` that nothing has yet, for keeping a bad file aside.
fs::path asideName(const fs::path& file) {
  std::error_code error;
  for (int i = 0;; ++i) {
    fs::path candidate = file;
    candidate += i == 0 ? ".corrupt" : ".corrupt-" + std::to_string(i);
    if (!fs::exists(candidate, error)) return candidate;
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
      self->setObject(value, key->utf8());
    });
    addMethod(c, "removeObjectForKey:", [](UserDefaults* self, String* key) {
      if (key != nullptr) self->removeObjectForKey(key->utf8());
    });
    addMethod(c, "dictionaryRepresentation",
              [](UserDefaults* self) { return self->dictionaryRepresentation(); });
    addMethod(c, "synchronize", [](UserDefaults* self) { return self->synchronize(); });
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
  std::ifstream in(path, std::ios::binary);
  if (!in) return;  // no file yet: an empty domain
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  if (std::optional<Dictionary::Entries> entries = parsePropertyListDictionary(bytes)) {
    values_ = std::move(*entries);
    return;
  }
  // Unreadable: kept aside untouched, so nothing in it is lost.
  std::error_code error;
  fs::rename(path, asideName(path), error);
}

Ref<Object> UserDefaults::objectForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it != values_.end() ? it->second : nullptr;
}

void UserDefaults::setObject(Object* value, std::string_view key) {
  if (value != nullptr && !isPropertyListObject(value)) {
    throw PlatformError(
        "-[NSUserDefaults setObject:forKey:]: attempt to insert non-property-list "
        "object " +
        value->isa()->name() + " for key " + std::string(key));
  }
  {
    std::lock_guard lock(mutex_);
    if (value != nullptr) {
      values_.insert_or_assign(std::string(key), value->retain());
    } else {
      auto it = values_.find(key);
      if (it == values_.end()) return;
      values_.erase(it);
    }
    dirty_ = true;
    if (writeScheduled_) return;
    writeScheduled_ = true;
  }
  scheduleWrite();
}

Ref<Dictionary> UserDefaults::dictionaryRepresentation() const {
  std::lock_guard lock(mutex_);
  return Dictionary::make(values_);
}

void UserDefaults::scheduleWrite() {
  MainQueue& queue = MainQueue::main();
  queue.asyncAfter(queue.now() + seconds(kWriteDelaySeconds),
                   [weak = Weak<UserDefaults>(retainAs<UserDefaults>())] {
                     if (Ref<UserDefaults> defaults = weak.lock()) {
                       std::lock_guard lock(defaults->mutex_);
                       defaults->writeScheduled_ = false;
                       if (defaults->dirty_) defaults->writeLocked();
                     }
                   });
}

bool UserDefaults::synchronize() {
  std::lock_guard lock(mutex_);
  return !dirty_ || writeLocked();
}

bool UserDefaults::writeLocked() {
  const Ref<Dictionary> snapshot = Dictionary::make(values_);
  ++fileWrites_;
  if (!replaceFileAtomically(file(), xmlPropertyList(snapshot.get()))) return false;
  dirty_ = false;
  return true;
}

std::size_t UserDefaults::fileWrites() const {
  std::lock_guard lock(mutex_);
  return fileWrites_;
}

}  // namespace tovik
