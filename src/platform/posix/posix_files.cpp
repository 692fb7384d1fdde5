// The file steps of screen files on POSIX. A name is looked at before it is opened, so that a FIFO (whose
// open waits for the other end) or a device (whose open may act on it) is refused without being opened.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "platform/file_system.hpp"

namespace kelvane::platform {

namespace {

// C names end at the first NUL: a name with one inside would name another file.
bool Usable(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LastPart(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The file `path` names in the end, its symbolic links followed one after another as open() follows
// them; a link to nothing gives the name it points at. nullopt for a loop of links.
std::optional<std::string> FollowLinks(std::string path) {
  constexpr int kMaxLinks = 40;  // what Linux allows before ELOOP
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) == link.size()) return std::nullopt;
    link.resize(static_cast<size_t>(n));
    path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
  }
  return std::nullopt;
}

// Unlikely to be taken already; O_EXCL makes sure, and a name that is taken is simply tried again.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "%lx%lx%x", static_cast<unsigned long>(::getpid()),
                static_cast<unsigned long>(now.tv_nsec), counter.fetch_add(1));
  return suffix;
}

// Opens an existing regular file without waiting on it; the O_NONBLOCK that keeps a FIFO from waiting is
// taken off again once the file is known to be regular.
int OpenRegular(const std::string& path, int flags) {
  struct stat st;
  if (!Usable(path) || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  // Looked at again: the name may have been given to something else in between.
  const int status = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || status < 0 ||
      ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int Fd(FileHandle file) { return static_cast<int>(file); }

class PosixFiles final : public FileSystem {
 public:
  FileHandle OpenForReading(const std::string& path) override { return OpenRegular(path, O_RDONLY); }

  std::int64_t Read(FileHandle file, void* buffer, std::size_t size) override {
    ssize_t n;
    do n = ::read(Fd(file), buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
  }

  FileError CreateTemporaryBeside(const std::string& target, TemporaryFile& temporary) override {
    if (!Usable(target) || target.back() == '/') return FileError::Failed;
    const std::optional<std::string> resolved = FollowLinks(target);
    if (!resolved) return FileError::Failed;
    struct stat old;
    const bool exists = ::stat(resolved->c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return FileError::Failed;
    if (exists && !S_ISREG(old.st_mode)) return FileError::Failed;
    // Hidden, and named after its target so that one left by a crash says where it came from; the part
    // of the name kept is short enough for the whole to stay within a file name's 255 bytes.
    const std::string stem = FolderOf(*resolved) + "/." + LastPart(*resolved).substr(0, 160) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string path = stem + UniqueSuffix() + ".tmp";
      // 0666 less the umask, as a file created afresh gets; an existing target's bits are copied below.
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        return refused ? FileError::FolderRefused : FileError::Failed;
      }
      if (exists) {
        // The owner where this process may give it away (root may); then the permission bits, last,
        // since a change of owner clears the set-user and set-group bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
          (void)!::fchown(fd, old.st_uid, old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
          ::close(fd);
          ::unlink(path.c_str());
          return FileError::Failed;
        }
      }
      temporary = TemporaryFile{fd, std::move(path), *resolved};
      return FileError::None;
    }
    return FileError::Failed;
  }

  FileHandle OpenForRewriting(const std::string& path) override {
    const int fd = OpenRegular(path, O_WRONLY);
    if (fd < 0) return kNoFile;
    if (::ftruncate(fd, 0) != 0) {
      ::close(fd);
      return kNoFile;
    }
    return fd;
  }

  bool Write(FileHandle file, const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(Fd(file), bytes, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  bool Flush(FileHandle file) override { return ::fsync(Fd(file)) == 0; }

  // Not retried on EINTR: on Linux the descriptor is gone either way.
  bool Close(FileHandle file) override { return ::close(Fd(file)) == 0; }

  bool Replace(const TemporaryFile& temporary) override {
    if (::rename(temporary.path.c_str(), temporary.target.c_str()) != 0) return false;
    // The new name on the disk too. The file is in its place already, so a failure here changes nothing.
    const int folder = ::open(FolderOf(temporary.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
    return true;
  }

  bool Remove(const std::string& path) override { return Usable(path) && ::unlink(path.c_str()) == 0; }
};

}  // namespace

FileSystem& SystemFiles() {
  static PosixFiles files;
  return files;
}

}  // namespace kelvane::platform
