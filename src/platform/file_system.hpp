// The file steps of screen files, behind a seam as small as the console's: the Console code names the
// steps, each system takes them its own way, and tests make any one of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvane::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// How creating a temporary file went, as far as the caller decides anything on it.
enum class FileError : std::uint8_t {
  None,
  // The folder takes no new file (no permission, a read-only folder); a file already in it may still be
  // writable.
  FolderRefused,
  // Anything else: a bad or empty name, no such folder, a target that is not a regular file.
  Failed,
};

// A new file written beside the one it is to replace.
struct TemporaryFile {
  FileHandle file = kNoFile;
  std::string path;    // the temporary file's name
  std::string target;  // the file it replaces: the name given, with its symbolic links followed
};

// Names are passed on as the bytes they are; a name with a NUL inside names no file.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // An existing regular file, opened for reading only. Never creates a file and never waits: a
  // directory, a FIFO or a device is refused unopened.
  virtual FileHandle OpenForReading(const std::string& path) = 0;
  // Reads at most `size` bytes; the count read (0 at the end of the file), or -1 on failure.
  virtual std::int64_t Read(FileHandle file, void* buffer, std::size_t size) = 0;

  // A new, empty file for writing in the folder of the file `target` names (through its symbolic links),
  // with the target's permission bits when the target exists. A target that exists and is not a regular
  // file is refused (Failed): it is never replaced.
  virtual FileError CreateTemporaryBeside(const std::string& target, TemporaryFile& temporary) = 0;
  // An existing regular file opened for writing and cut to zero length, for a folder that takes no new
  // file. Never creates a file.
  virtual FileHandle OpenForRewriting(const std::string& path) = 0;
  // Writes all `size` bytes; false when any of them was not written.
  virtual bool Write(FileHandle file, const void* data, std::size_t size) = 0;
  // What was written is on the disk when this returns true.
  virtual bool Flush(FileHandle file) = 0;
  virtual bool Close(FileHandle file) = 0;
  // Puts the temporary file in its target's place in one step: whoever opens the target finds the old
  // file or the new one, never a mixture, and a symbolic link on the way keeps pointing where it did.
  virtual bool Replace(const TemporaryFile& temporary) = 0;
  virtual bool Remove(const std::string& path) = 0;
};

// The files of this process. Tests install their own; otherwise the build platform's.
FileSystem& Files();
// The system's own file steps: POSIX or Windows.
FileSystem& SystemFiles();
void InstallFiles(FileSystem* files);  // nullptr returns to the system's

}  // namespace kelvane::platform
