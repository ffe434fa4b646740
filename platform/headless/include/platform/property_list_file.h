#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation.h"

// A domain's property-list file on disk: read without ever waiting on a
// writer or taking a file that cannot be read for an absent one, replaced
// atomically, and the lock that writers of a folder take.
namespace tovik {

// What identifies a file's contents as the file system shows them: a write,
// in place or by putting a new file there, changes at least one of these.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A property-list file as read.
struct PropertyListFile {
  enum class State {
    Absent,      // nothing at the path: an empty domain
    Unchanged,   // the file is the one already known
    Read,        // `entries` hold the file's top-level dictionary
    Unreadable,  // something is there but cannot be read: never replace it
    Damaged,     // read, but not a property list with a dictionary at the top
  };
  State state = State::Absent;
  Dictionary::Entries entries;
  FileIdentity identity;  // unless Absent or Unreadable
  std::string problem;    // why a Damaged file is not read
};

// Reads `file`, unless its identity is `known`. Never blocks: anything at
// the path but a regular file (a directory, a FIFO, a device) is Unreadable,
// as is a file that cannot be opened or read for any reason but its absence.
PropertyListFile readPropertyListFile(const std::filesystem::path& file,
                                      const std::optional<FileIdentity>& known);

// Renames a damaged file to `<file>.corrupt` (`.corrupt-1`, `-2`... when
// that is taken), so nothing in it is lost, and says so on the standard
// error with the reason, as the platform logs it; only if the file at the
// path is still the one `damaged` describes. Called holding the folder's
// write lock.
void keepAside(const std::filesystem::path& file, const PropertyListFile& damaged);

// Writes `bytes` to a temporary file beside `file`, flushes it to disk and
// renames it over `file`; readers see the old file or the new one, never a
// part. The identity of the new file; none when the write failed, leaving
// `file` as it was. Temporaries are named `.<file name>.<pid>.XXXXXX`.
std::optional<FileIdentity> replaceFileAtomically(const std::filesystem::path& file,
                                                  std::string_view bytes);

// Removes the temporaries of writers of `file` that are gone (killed while
// writing): those whose pid is no running process. Never those of this
// process, whose writers may be writing now.
void removeAbandonedTemporaries(const std::filesystem::path& file);

// The lock over writing files in a folder (flock on the folder, so across
// threads and processes), held by a writer while it reads, merges and
// replaces a file: no writer's changes are lost between another's reading
// and renaming. Creates the folder if needed; waits for the lock.
class FolderWriteLock {
 public:
  explicit FolderWriteLock(const std::filesystem::path& folder);
  ~FolderWriteLock();
  FolderWriteLock(const FolderWriteLock&) = delete;
  FolderWriteLock& operator=(const FolderWriteLock&) = delete;

  // False when the folder could not be made or opened.
  [[nodiscard]] bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tovik
