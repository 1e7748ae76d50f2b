#include "platform/file_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace veldan {
namespace {

namespace fs = std::filesystem;

class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/veldan_file_access_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::string Read(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t Files() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

// Only regular files open; a pipe with no writer would block a plain open for ever.
TEST_F(FileAccessTest, OnlyRegularFilesOpenAndNothingBlocks) {
  std::ofstream(dir_ / "track.mp3") << "data";
  ASSERT_EQ(mkfifo(Path("pipe.mp3").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.mp3");

  const int fd = OpenRegularFile(Path("track.mp3"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);  // blocking again for the reader
  close(fd);
  EXPECT_EQ(OpenRegularFile(Path("pipe.mp3")), -1);
  EXPECT_EQ(OpenRegularFile(Path("folder.mp3")), -1);
  EXPECT_EQ(OpenRegularFile(Path("missing.mp3")), -1);
  EXPECT_EQ(OpenRegularFile("/dev/null"), -1);
  EXPECT_EQ(OpenRegularFileStream(Path("pipe.mp3")), nullptr);
  std::FILE* file = OpenRegularFileStream(Path("track.mp3"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'd');
  std::fclose(file);
}

TEST_F(FileAccessTest, WholeWritesReplaceKeepModeAndFollowLinks) {
  std::ofstream(dir_ / "list.m3u") << "old contents, longer than the new ones";
  chmod(Path("list.m3u").c_str(), 0640);
  ASSERT_TRUE(WriteFileWhole(Path("list.m3u"), "new"));
  EXPECT_EQ(Read("list.m3u"), "new");
  struct stat st;
  ASSERT_EQ(stat(Path("list.m3u").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  fs::create_symlink(dir_ / "list.m3u", dir_ / "link.m3u");
  ASSERT_TRUE(WriteFileWhole(Path("link.m3u"), "through the link"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.m3u"));
  EXPECT_EQ(Read("list.m3u"), "through the link");

  ASSERT_TRUE(WriteFileWhole(Path("fresh.def"), std::string("\0\1\2", 3)));
  EXPECT_EQ(Read("fresh.def"), std::string("\0\1\2", 3));
  EXPECT_FALSE(WriteFileWhole(Path("no folder/x.m3u"), "x"));
  EXPECT_EQ(Files(), 3u);  // no temporary file is left anywhere
}

// A pipe (or a device) of the target's name, or at the end of a link, is someone else's: it
// stays, and nothing is written. (Only pipes of the test's own folder: a link to a real device
// would replace that device when the check is missing.)
TEST_F(FileAccessTest, WholeWritesNeverReplaceAPipe) {
  ASSERT_EQ(mkfifo(Path("VELDANEQ.DEF").c_str(), 0600), 0);
  EXPECT_FALSE(WriteFileWhole(Path("VELDANEQ.DEF"), "preset"));
  fs::create_symlink(dir_ / "VELDANEQ.DEF", dir_ / "link.m3u");
  EXPECT_FALSE(WriteFileWhole(Path("link.m3u"), "list"));
  EXPECT_TRUE(fs::is_fifo(dir_ / "VELDANEQ.DEF"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.m3u"));
  EXPECT_EQ(Files(), 2u);
}

// A write that runs out of room (here the process's file size limit, as a full disk would)
// fails, leaves the old file byte for byte and removes the temporary file.
TEST_F(FileAccessTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string old(3000, 'o');
  std::ofstream(dir_ / "Filelist.m3u", std::ios::binary) << old;
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileWhole(Path("Filelist.m3u"), std::string(10000, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(written);
  EXPECT_EQ(Read("Filelist.m3u"), old);
  EXPECT_EQ(Files(), 1u);
}

// Links count as what they point to; a link to nothing names nothing.
TEST_F(FileAccessTest, KindOfWhatAPathNames) {
  std::ofstream(dir_ / "track.mp3") << "data";
  ASSERT_EQ(mkfifo(Path("pipe.mp3").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder");
  fs::create_symlink(dir_ / "folder", dir_ / "to_folder");
  fs::create_symlink(dir_ / "gone", dir_ / "dangling");
  EXPECT_EQ(HostFileKindOf(Path("track.mp3").c_str()), HostFileKind::kRegular);
  EXPECT_EQ(HostFileKindOf(Path("folder").c_str()), HostFileKind::kFolder);
  EXPECT_EQ(HostFileKindOf(Path("to_folder").c_str()), HostFileKind::kFolder);
  EXPECT_EQ(HostFileKindOf(Path("pipe.mp3").c_str()), HostFileKind::kOther);
  EXPECT_EQ(HostFileKindOf("/dev/null"), HostFileKind::kOther);
  EXPECT_EQ(HostFileKindOf(Path("dangling").c_str()), HostFileKind::kNone);
  EXPECT_EQ(HostFileKindOf(Path("missing").c_str()), HostFileKind::kNone);
  EXPECT_EQ(HostFileKindOf(""), HostFileKind::kNone);
}

}  // namespace
}  // namespace veldan
