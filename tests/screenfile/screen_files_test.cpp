// SaveScreen and LoadScreen on real files, each test in a folder of its own; the file steps made to fail
// through FaultyFiles below. The errors before Load and for a bad PageIndex are the contract table's.
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h>  // makedev on Linux
#endif
#endif

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "platform/file_system.hpp"
#include "support/console_fixture.hpp"
#include "support/scratch_folder.hpp"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;
using platform::CharInfo;
using platform::FileError;

// The system's file steps, any of them made to fail once.
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
  const std::string& LastTemporary() const { return last_temporary_; }

  File OpenForReading(const std::string& path) override { return system_.OpenForReading(path); }
  std::int64_t Read(File file, void* buffer, std::size_t size) override {
    return Due(FileStep::Read) ? -1 : system_.Read(file, buffer, size);
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
  std::string last_temporary_;
};

std::string Record(unsigned char character, platform::Word attribute) {
  return {static_cast<char>(character), 0, static_cast<char>(attribute & 0xFF),
          static_cast<char>(attribute >> 8)};
}

class ScreenFileTest : public LoadedTest {
 protected:
  ScreenFileTest() { platform::InstallFiles(&files_); }
  ~ScreenFileTest() override { platform::InstallFiles(nullptr); }
  void ExpectFileError(const std::function<void()>& call, const std::string& member) {
    EXPECT_EQ(ErrorOf(call), "75 KelvaneConsole." + member + ": Path/File Access Error.");
  }

  ScratchFolder folder_;
  FaultyFiles files_;
  const std::string name_ = folder_ / "screen.bin";
};

// An 80 x 25 window saved over a longer file, then loaded into 50 rows (the rest zero, the cursor where it
// was) and into 40 columns, forty records to a row. The records themselves, files of any length and
// windows beyond 16-bit cell counts are the screen_file_loader fuzz target's, replayed on its corpus.
TEST_F(ScreenFileTest, AnEightyByTwentyFiveFileInFiftyRowsAndInFortyColumns) {
  PaintPattern(Shown());
  const Rows text = Text(Shown());
  WriteFile(name_, std::string(9000, 'x'));
  ASSERT_TRUE(console_.SaveScreen(name_));
  const std::string bytes = ReadFile(name_);
  EXPECT_EQ(bytes.size(), 8004u);
  EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8000), Record('a', 0x07) + Record(0, 0));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{80, 50}, SmallRect{0, 0, 79, 49}));
  console_.ClearScreen(kWhite, kDarkBlue);
  console_.SetCursorPos(5, 7);
  ASSERT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(Text(Shown(), 0, 25), text);
  EXPECT_EQ(Attributes(Shown(), 0, 25), Rows(25, Repeat("07", 80)));
  EXPECT_EQ(Attributes(Shown(), 25), Rows(25, Repeat("00", 80)));
  EXPECT_EQ(Cell(Shown(), 79, 49), (CharInfo{0, 0}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 7}));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{80, 25}, SmallRect{0, 0, 39, 24}));
  ASSERT_TRUE(console_.LoadScreen(name_));
  for (size_t r = 0; r < 25; ++r) EXPECT_EQ(Text(Shown())[r], text[r / 2].substr(r % 2 * 40, 40)) << r;
}

// Page 0 shows columns 10..89, rows 100..124 of a 100 x 300 buffer; a new page gets such a buffer with its
// window at the origin, and is loaded at page 0's window, not its own, the shown page staying shown.
TEST_F(ScreenFileTest, LoadingCreatesAPageAndFillsItAtTheShownPagesWindow) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  ASSERT_TRUE(emulated_.SetNewBufferGeometry(Coord{100, 300}, SmallRect{0, 0, 79, 24}));
  const Handle shown = Shown();
  Poke(shown, Coord{10, 100}, 'N', 0x1E);
  Poke(shown, Coord{89, 124}, 'F', 0x4E);
  ASSERT_TRUE(console_.SaveScreen(name_));
  ASSERT_TRUE(console_.LoadScreen(name_, 15));
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  const Handle page15 = PageBuffer(console_, 15);
  EXPECT_EQ(Cell(page15, 10, 100), (CharInfo{'N', 0x1E}));
  EXPECT_EQ(Cell(page15, 89, 124), (CharInfo{'F', 0x4E}));
  EXPECT_EQ(Cell(page15, 9, 100), Cell(page15, 0, 0));  // a new buffer's blank, untouched
  EXPECT_EQ(Cell(page15, 90, 124), Cell(page15, 0, 0));
}

#ifndef _WIN32  // FIFOs and device nodes
TEST_F(ScreenFileTest, NamesThatAreNoRegularFileRaise75AndChangeNothing) {
  WriteFile(name_, "old");
  const std::string fifo = folder_ / "fifo", device = folder_ / "null", folder = folder_ / "dir";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  // A node of the null device of our own: a fault could then at worst replace that one.
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "mknod needs CAP_MKNOD";
  fs::create_directory(folder);
  const std::set<std::string> names = folder_.Names();
  const Rows text = Text(Shown()), attributes = Attributes(Shown());
  const std::string cut = name_ + std::string(1, '\0') + "x";
  ::alarm(10);  // a call that waits on the FIFO for its other end ends the test
  for (const std::string& name : {std::string(), folder, folder + "/", fifo, device, cut,
                                  folder_ / "none/screen.bin", folder_ / "screen.bin/x"}) {
    ExpectFileError([&] { console_.SaveScreen(name); }, "SaveScreen");
    ExpectFileError([&] { console_.LoadScreen(name); }, "LoadScreen");
  }
  ::alarm(0);
  ExpectFileError([&] { console_.LoadScreen(folder_ / "absent.bin"); }, "LoadScreen");
  EXPECT_EQ(folder_.Names(), names);
  EXPECT_EQ(ReadFile(name_), "old");
  EXPECT_TRUE(fs::is_fifo(fifo) && fs::is_character_file(device) && fs::is_empty(folder));
  ExpectScreen(Shown(), text, attributes);
  EXPECT_EQ(ErrorOf([&] { console_.SaveScreen(name_, 5); }),
            "30058 KelvaneConsole.SaveScreen: Invalid Page Index; Page not yet created.");
  EXPECT_EQ(ReadFile(name_), "old");
}
#endif

// Any step made to fail: a file step raises 75; a refused cell transfer, or records that cannot be had in
// memory (with no std::bad_alloc for the caller), give false. Neither the file, nor the screen, nor the
// folder changes: the old file stays whole and no temporary file is left.
TEST_F(ScreenFileTest, AFailedStepLeavesTheOldFileWholeAndNoTemporaryFile) {
  ASSERT_TRUE(console_.WriteText("kept"));
  ASSERT_TRUE(console_.SaveScreen(name_));
  const std::string saved = ReadFile(name_);
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  const Rows screen = Screen(Shown(), 0, -1, true);
  const std::string save75 = "75 KelvaneConsole.SaveScreen: Path/File Access Error.";
  std::optional<CellArrayLimit> limit;
  const auto fail = [this](FileStep step) { return [this, step] { files_.Fail(step); }; };
  const auto nowhere = [this] {  // a folder that takes no new file, and the file cannot be opened in place
    files_.Fail(FileStep::OpenForRewriting);
    files_.Fail(FileStep::CreateTemporaryBeside, FileError::FolderRefused);
  };
  const auto refuse = [this](Op op) { return [this, op] { emulated_.FailCall(op, 1); }; };
  const auto unaffordable = [&] { limit.emplace(2000); };  // the 80 x 25 window and the trailing record: 2001
  // clang-format off
  // The fault, saving (else loading), the outcome.
  const std::tuple<std::function<void()>, bool, std::string> cases[] = {
      {fail(FileStep::CreateTemporaryBeside), true, save75}, {fail(FileStep::Write), true, save75},
      {fail(FileStep::Flush), true, save75}, {fail(FileStep::Close), true, save75},
      {fail(FileStep::Replace), true, save75}, {nowhere, true, save75},
      {fail(FileStep::Read), false, "75 KelvaneConsole.LoadScreen: Path/File Access Error."},
      {refuse(Op::ReadConsoleOutputA), true, "false"}, {refuse(Op::WriteConsoleOutputA), false, "false"},
      {unaffordable, true, "false"}, {unaffordable, false, "false"}};
  // clang-format on
  for (const auto& [fault, saving, outcome] : cases) {
    fault();
    EXPECT_EQ(ErrorOf([&, saving = saving] {
                return (saving ? console_.SaveScreen(name_) : console_.LoadScreen(name_)) ? "true" : "false";
              }),
              outcome);
    limit.reset();
    EXPECT_EQ(ReadFile(name_), saved) << outcome;
    EXPECT_EQ(Screen(Shown(), 0, -1, true), screen) << outcome;
    EXPECT_EQ(folder_.Names(), std::set<std::string>{"screen.bin"}) << outcome;
  }
  // A failed close of the file read changes nothing.
  files_.Fail(FileStep::Close);
  EXPECT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(Text(Shown(), 0, 1)[0].substr(0, 4), "kept");
  // A folder that takes no new file: the file is cut and written where it is.
  WriteFile(name_, std::string(9000, 'x'));
  files_.Fail(FileStep::CreateTemporaryBeside, FileError::FolderRefused);
  ASSERT_TRUE(console_.SaveScreen(name_));
  EXPECT_EQ(ReadFile(name_), saved);
  // A failed page lookup comes first; with a missing file, the page's new buffer stays as it was.
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  EXPECT_EQ(ErrorOf([&] { console_.LoadScreen(folder_ / "absent.bin", 9); }),
            "30053 KelvaneConsole.zzzHandleFromPage: Invalid Page specified.");
  ExpectFileError([&] { console_.LoadScreen(folder_ / "absent.bin", 9); }, "LoadScreen");
  EXPECT_EQ(Text(PageBuffer(console_, 9), 0, 1), Rows{std::string(80, ' ')});
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"screen.bin"});
}

// real/screen.bin (mode 0640, with a hard link real/hard.bin) saved through the relative symbolic link
// links/screen.lnk; links/new.lnk points at real/new.bin, not there yet.
TEST_F(ScreenFileTest, LinksKeepPointingWhereTheyDidAndPermissionBitsStay) {
  fs::create_directory(folder_ / "real");
  fs::create_directory(folder_ / "links");
  const std::string real = folder_ / "real/screen.bin", link = folder_ / "links/screen.lnk";
  WriteFile(real, "old");
  fs::permissions(real, fs::perms(0640));
  fs::create_hard_link(real, folder_ / "real/hard.bin");
  fs::create_symlink("../real/screen.bin", link);
  fs::create_symlink("../real/new.bin", folder_ / "links/new.lnk");
  ASSERT_TRUE(console_.SaveScreen(link));
  EXPECT_EQ(fs::read_symlink(link), "../real/screen.bin");
  EXPECT_EQ(ReadFile(real).size(), 8004u);
  EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
  EXPECT_TRUE(fs::equivalent(fs::path(files_.LastTemporary()).parent_path(), folder_ / "real"));
  EXPECT_EQ(ReadFile(folder_ / "real/hard.bin"), "old");
  ASSERT_TRUE(console_.SaveScreen(folder_ / "links/new.lnk"));
  EXPECT_EQ(ReadFile(folder_ / "real/new.bin").size(), 8004u);
  EXPECT_EQ(folder_.Names("real"), (std::set<std::string>{"hard.bin", "new.bin", "screen.bin"}));
  EXPECT_EQ(folder_.Names("links"), (std::set<std::string>{"new.lnk", "screen.lnk"}));
}

}  // namespace
}  // namespace kelvane::testing
