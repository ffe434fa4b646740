#include "platform/property_list_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/property_list.h"

namespace tovik {

namespace fs = std::filesystem;

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Closes now, reporting whether the close succeeded.
  bool close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

FileIdentity identityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::int64_t>(status.st_size),
          static_cast<std::int64_t>(status.st_mtim.tv_sec),
          static_cast<std::int64_t>(status.st_mtim.tv_nsec)};
}

bool readAll(int fd, std::string& out) {
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer.data(), static_cast<std::size_t>(n));
  }
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string temporaryPrefix(const fs::path& file) { return "." + file.filename().string() + "."; }

// The pid in a temporary's name, `<prefix><pid>.XXXXXX`; none for any other
// name.
std::optional<pid_t> writerOf(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  const std::string_view rest(end, static_cast<std::size_t>(name.data() + name.size() - end));
  if (error != std::errc{} || pid <= 0 || rest.size() != 7 || rest.front() != '.') {
    return std::nullopt;
  }
  return pid;
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

PropertyListFile readPropertyListFile(const fs::path& file,
                                      const std::optional<FileIdentity>& known) {
  PropertyListFile result;
  // Non-blocking, so a FIFO at the path does not wait for a writer.
  const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    // A missing folder or file is an absent domain; anything else (no
    // permission, too many open files, an I/O error) is a file that exists
    // and must not be replaced.
    result.state = errno == ENOENT || errno == ENOTDIR ? PropertyListFile::State::Absent
                                                       : PropertyListFile::State::Unreadable;
    return result;
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    result.state = PropertyListFile::State::Unreadable;
    return result;
  }
  result.identity = identityOf(status);
  if (known && *known == result.identity) {
    result.state = PropertyListFile::State::Unchanged;
    return result;
  }
  std::string bytes;
  if (!readAll(fd.get(), bytes)) {
    result.state = PropertyListFile::State::Unreadable;
    return result;
  }
  if (std::optional<Dictionary::Entries> entries =
          parsePropertyListDictionary(bytes, &result.problem)) {
    result.state = PropertyListFile::State::Read;
    result.entries = std::move(*entries);
  } else {
    result.state = PropertyListFile::State::Damaged;
  }
  return result;
}

void keepAside(const fs::path& file, const PropertyListFile& damaged) {
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0 || identityOf(status) != damaged.identity) return;
  const fs::path aside = asideName(file);
  std::error_code error;
  fs::rename(file, aside, error);
  if (!error) {
    std::fprintf(stderr, "NSUserDefaults: %s cannot be read (%s); kept aside as %s\n", file.c_str(),
                 damaged.problem.c_str(), aside.filename().c_str());
  }
}

std::optional<FileIdentity> replaceFileAtomically(const fs::path& file, std::string_view bytes) {
  const fs::path folder = file.parent_path();
  std::string temporary =
      (folder / (temporaryPrefix(file) + std::to_string(::getpid()) + ".XXXXXX")).string();
  FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat status {};
  bool ok = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && ::fstat(fd.get(), &status) == 0;
  ok = fd.close() && ok;
  ok = ok && ::rename(temporary.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return std::nullopt;
  }
  // The rename itself reaches the disk when the folder is flushed.
  const FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) ::fsync(folderFd.get());
  return identityOf(status);
}

void removeAbandonedTemporaries(const fs::path& file) {
  const std::string prefix = temporaryPrefix(file);
  std::error_code error;
  for (auto it = fs::directory_iterator(file.parent_path(), error);
       !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::optional<pid_t> writer = writerOf(it->path().filename().string(), prefix);
    if (!writer || *writer == ::getpid()) continue;
    if (::kill(*writer, 0) != 0 && errno == ESRCH) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}

FolderWriteLock::FolderWriteLock(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FolderWriteLock::~FolderWriteLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace tovik
