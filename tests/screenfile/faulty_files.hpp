// The system's file steps, any of them made to fail once, and the bytes read counted.
#pragma once

#include <set>
#include <string>

#include "platform/file_system.hpp"

namespace kelvane::testing {

enum class FileStep { CreateTemporaryBeside, OpenForRewriting, Write, Flush, Close, Replace, Read };

class FaultyFiles final : public platform::FileSystem {
 public:
  using File = platform::FileHandle;
  // The next call of `step` fails: a Write after writing half its bytes, as on a full disk; a Close
  // after closing all the same; CreateTemporaryBeside with `how`, creating nothing.
  void Fail(FileStep step, platform::FileError how = platform::FileError::Failed) {
    failing_.insert(step);
    how_ = how;
  }
  std::size_t BytesRead() const { return bytes_read_; }
  const std::string& LastTemporary() const { return last_temporary_; }

  File OpenForReading(const std::string& path) override { return system_.OpenForReading(path); }
  std::int64_t Read(File file, void* buffer, std::size_t size) override {
    const std::int64_t n = Due(FileStep::Read) ? -1 : system_.Read(file, buffer, size);
    bytes_read_ += n > 0 ? static_cast<std::size_t>(n) : 0;
    return n;
  }
  platform::FileError CreateTemporaryBeside(const std::string& target, platform::TemporaryFile& t) override {
    if (Due(FileStep::CreateTemporaryBeside)) return how_;
    const platform::FileError result = system_.CreateTemporaryBeside(target, t);
    last_temporary_ = t.path;
    return result;
  }
  File OpenForRewriting(const std::string& path) override {
    return Due(FileStep::OpenForRewriting) ? platform::kNoFile : system_.OpenForRewriting(path);
  }
  bool Write(File file, const void* data, std::size_t size) override {
    return Due(FileStep::Write) ? system_.Write(file, data, size / 2) && false
                                : system_.Write(file, data, size);
  }
  bool Flush(File file) override { return !Due(FileStep::Flush) && system_.Flush(file); }
  bool Close(File file) override { return system_.Close(file) && !Due(FileStep::Close); }
  bool Replace(const platform::TemporaryFile& t) override {
    return !Due(FileStep::Replace) && system_.Replace(t);
  }
  bool Remove(const std::string& path) override { return system_.Remove(path); }

 private:
  bool Due(FileStep step) { return failing_.erase(step) > 0; }

  platform::FileSystem& system_ = platform::SystemFiles();
  std::set<FileStep> failing_;
  platform::FileError how_ = platform::FileError::Failed;
  std::size_t bytes_read_ = 0;
  std::string last_temporary_;
};

}  // namespace kelvane::testing
