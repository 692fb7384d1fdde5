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

#include <set>
#include <string>

#include "platform/file_system.hpp"
#include "support/console_fixture.hpp"
#include "support/scratch_folder.hpp"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;
using platform::CharInfo;
using platform::FileError;

// The system's file steps, any of them made to fail once, and the bytes read counted.
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

// 51,200 cells, beyond a 16-bit count; each row holds every character and every low attribute byte. They
// are saved row by row, a record a cell and one zero record after them, in place of a longer file.
TEST_F(ScreenFileTest, EveryCharacterAndAttributeOfAWindowOf51200CellsComesBack) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{256, 200}, SmallRect{0, 0, 255, 199}));
  constexpr platform::Word kHigh[] = {0, 0x0400, 0x0800, 0x1000, 0x4000, 0x8000, 0xDC00};
  std::vector<CharInfo> cells;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 256; ++x)
      cells.push_back(CharInfo{static_cast<platform::Word>((7 * x + y) & 0xFF),
                               static_cast<platform::Word>(((x + 3 * y) & 0xFF) | kHigh[y % 7])});
  }
  SmallRect all{0, 0, 255, 199};
  ASSERT_TRUE(emulated_.WriteConsoleOutputA(Shown(), cells.data(), Coord{256, 200}, Coord{0, 0}, &all));
  WriteFile(name_, std::string(300000, 'x'));
  ASSERT_TRUE(console_.SaveScreen(name_));
  const std::string bytes = ReadFile(name_);
  ASSERT_EQ(bytes.size(), 4u * (256 * 200 + 1));
  EXPECT_EQ(bytes.substr(255 * 4, 8), Record(0xF9, 0xFF) + Record(1, 0x0403));
  EXPECT_EQ(bytes.substr(51199 * 4), Record(0xC0, 0x1054) + Record(0, 0));
  console_.ClearScreen(kWhite, kDarkBlue);
  console_.SetCursorPos(5, 7);
  ASSERT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(emulated_.ReadCells(Shown()), cells);
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 7}));
}

// Composed by hand for a 4 x 2 window: the character field's high byte (0x25 here) is not part of the
// character.
TEST_F(ScreenFileTest, FilesComposedByHandLoadAndShortOnesLeaveTheRestZero) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{4, 2}, SmallRect{0, 0, 3, 1}));
  // clang-format off
  const unsigned char golden[] = {
      'K', 0, 0x1F, 0,     'c', 0, 0x1F, 0,     0xCD, 0x25, 0x4E, 0,   0x01, 0, 0xF0, 0,
      '*', 0, 0x1E, 0x80,  0x00, 0, 0x00, 0,    0xB0, 0, 0x12, 0,      ' ', 0, 0x07, 0,
      0, 0, 0, 0};
  // clang-format on
  WriteFile(name_, std::string(std::begin(golden), std::end(golden)));
  ASSERT_TRUE(console_.LoadScreen(name_));
  ExpectScreen(Shown(), {"Kc═☺", "* ░ "}, {"1F1F4EF0", "1E001207"});
  EXPECT_EQ(Cell(Shown(), 0, 1).Attributes, 0x801E);
  // Six bytes: the second record has its character and nothing else.
  WriteFile(name_, Record('A', 0x1E) + "B");
  ASSERT_TRUE(console_.LoadScreen(name_));
  ExpectScreen(Shown(), {"AB  ", "    "}, {"1E000000", "00000000"});
  WriteFile(name_, "");
  ASSERT_TRUE(console_.LoadScreen(name_));
  ExpectScreen(Shown(), {"    ", "    "}, {"00000000", "00000000"});
}

TEST_F(ScreenFileTest, AnEightyByTwentyFiveFileInFiftyRowsAndInFortyColumns) {
  PaintPattern(Shown());
  const Rows text = Text(Shown());
  ASSERT_TRUE(console_.SaveScreen(name_));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{80, 50}, SmallRect{0, 0, 79, 49}));
  console_.ClearScreen(kWhite, kDarkBlue);
  ASSERT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(Text(Shown(), 0, 25), text);
  EXPECT_EQ(Attributes(Shown(), 0, 25), Rows(25, Repeat("07", 80)));
  EXPECT_EQ(Attributes(Shown(), 25), Rows(25, Repeat("00", 80)));
  EXPECT_EQ(Cell(Shown(), 79, 49), (CharInfo{0, 0}));
  // Forty to a row, the same records; a file longer than the window needs is read no further.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{80, 25}, SmallRect{0, 0, 39, 24}));
  const std::size_t read_before = files_.BytesRead();
  ASSERT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(files_.BytesRead() - read_before, 4u * (40 * 25 + 1));
  for (size_t r = 0; r < 25; ++r) EXPECT_EQ(Text(Shown())[r], text[r / 2].substr(r % 2 * 40, 40)) << r;
}

// Page 0 shows columns 10..89, rows 100..124 of a 100 x 300 buffer; new pages get such buffers with their
// window at the origin, and are written and read at page 0's window, not their own.
TEST_F(ScreenFileTest, OtherPagesUseTheShownPagesWindowAndLoadingCreatesAPage) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  ASSERT_TRUE(emulated_.SetNewBufferGeometry(Coord{100, 300}, SmallRect{0, 0, 79, 24}));
  const Handle shown = Shown();
  console_.ClearScreen(kWhite, kDarkBlue, 3);
  const Handle page3 = PageBuffer(console_, 3);
  Poke(page3, Coord{10, 100}, 'N', 0x1E);
  Poke(page3, Coord{89, 124}, 'F', 0x4E);
  ASSERT_TRUE(console_.SaveScreen(name_, 3));
  const std::string bytes = ReadFile(name_);
  EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(1999 * 4),
            Record('N', 0x1E) + Record('F', 0x4E) + Record(0, 0));
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

// A refused cell transfer, or records that cannot be had in memory (with no std::bad_alloc for the
// caller), gives false and changes neither the file nor the screen; a failed page lookup comes first.
TEST_F(ScreenFileTest, RefusedOrUnaffordableTransfersAreFalseAndAFailedPageLookupComesFirst) {
  ASSERT_TRUE(console_.WriteText("kept"));
  ASSERT_TRUE(console_.SaveScreen(name_));
  const std::string saved = ReadFile(name_);
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  const Rows screen = Screen(Shown(), 0, -1, true);
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_FALSE(console_.SaveScreen(name_));
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  EXPECT_FALSE(console_.LoadScreen(name_));
  {
    const CellArrayLimit limit(2000);  // the 80 x 25 window and the trailing record are 2001
    emulated_.ResetCallCounts();
    EXPECT_FALSE(console_.SaveScreen(name_));
    EXPECT_FALSE(console_.LoadScreen(name_));
    EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA) + emulated_.CallCount(Op::WriteConsoleOutputA), 0);
  }
  EXPECT_EQ(ReadFile(name_), saved);
  EXPECT_EQ(Screen(Shown(), 0, -1, true), screen);
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  EXPECT_EQ(ErrorOf([&] { console_.LoadScreen(folder_ / "absent.bin", 9); }),
            "30053 KelvaneConsole.zzzHandleFromPage: Invalid Page specified.");
  // A missing file: the page's new buffer stays, its cells as they were.
  ExpectFileError([&] { console_.LoadScreen(folder_ / "absent.bin", 9); }, "LoadScreen");
  EXPECT_EQ(Text(PageBuffer(console_, 9), 0, 1), Rows{std::string(80, ' ')});
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"screen.bin"});
}

TEST_F(ScreenFileTest, AFailedStepLeavesTheOldFileWholeAndNoTemporaryFile) {
  for (FileStep step : {FileStep::CreateTemporaryBeside, FileStep::Write, FileStep::Flush, FileStep::Close,
                        FileStep::Replace}) {
    WriteFile(name_, "old");
    files_.Fail(step);
    ExpectFileError([&] { console_.SaveScreen(name_); }, "SaveScreen");
    EXPECT_EQ(ReadFile(name_), "old") << static_cast<int>(step);
    EXPECT_EQ(folder_.Names(), std::set<std::string>{"screen.bin"}) << static_cast<int>(step);
  }
  // A folder that takes no new file: the file is cut and written where it is.
  files_.Fail(FileStep::CreateTemporaryBeside, FileError::FolderRefused);
  ASSERT_TRUE(console_.SaveScreen(name_));
  EXPECT_EQ(ReadFile(name_).size(), 8004u);
  WriteFile(name_, "old");
  files_.Fail(FileStep::CreateTemporaryBeside, FileError::FolderRefused);
  files_.Fail(FileStep::OpenForRewriting);
  ExpectFileError([&] { console_.SaveScreen(name_); }, "SaveScreen");
  EXPECT_EQ(ReadFile(name_), "old");
  // Loading: a failed read raises, a failed close of the file read changes nothing.
  const Rows text = Text(Shown());
  files_.Fail(FileStep::Read);
  ExpectFileError([&] { console_.LoadScreen(name_); }, "LoadScreen");
  EXPECT_EQ(Text(Shown()), text);
  files_.Fail(FileStep::Close);
  EXPECT_TRUE(console_.LoadScreen(name_));
  EXPECT_EQ(Cell(Shown(), 0, 0), (CharInfo{'o', 'd'}));
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
