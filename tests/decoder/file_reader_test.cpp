#include "decoder/file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace veldan {
namespace {

class FileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/veldan_reader_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
    // 300 KB: several of the reader's blocks, with no two neighbouring bytes alike.
    for (int i = 0; i < 300 * 1024; ++i)
      content_.push_back(static_cast<char>((i * 7 + i / 251) & 0xFF));
    std::ofstream(path_, std::ios::binary) << content_;
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
  std::string content_;
};

// Random reads and seeks against a plain model of the file: every read returns exactly the bytes
// at the logical position, also relative seeks right after the buffer ran ahead.
TEST_F(FileReaderTest, ReadsAndSeeksFollowTheLogicalPosition) {
  auto reader = FileReader::Open(path_);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->size(), static_cast<off_t>(content_.size()));
  std::mt19937 rng(5);
  const off_t size = static_cast<off_t>(content_.size());
  off_t pos = 0;
  std::string buf;
  for (int step = 0; step < 2000; ++step) {
    switch (rng() % 4) {
      case 0: {
        off_t offset = static_cast<off_t>(rng() % 200000) - 100000;
        off_t want = pos + offset;
        EXPECT_EQ(reader->Seek(offset, SEEK_CUR), want < 0 ? -1 : want);
        if (want >= 0) pos = want;
        break;
      }
      case 1: {
        off_t offset = -static_cast<off_t>(rng() % 1000);
        pos = size + offset;
        EXPECT_EQ(reader->Seek(offset, SEEK_END), pos);
        break;
      }
      default: {
        std::size_t count = rng() % 3 == 0 ? rng() % 150000 : rng() % 600;
        buf.assign(count, '\0');
        ssize_t got = reader->Read(buf.data(), count);
        off_t expect = std::max<off_t>(0, std::min<off_t>(static_cast<off_t>(count), size - pos));
        ASSERT_EQ(got, expect) << "step " << step;
        ASSERT_EQ(buf.substr(0, static_cast<std::size_t>(got)),
                  content_.substr(static_cast<std::size_t>(std::min(pos, size)),
                                  static_cast<std::size_t>(got)))
            << "step " << step;
        pos += got;
      }
    }
  }
}

TEST_F(FileReaderTest, RejectsWhatIsNoReadableFile) {
  EXPECT_FALSE(FileReader::Open(path_ + ".missing"));
  EXPECT_FALSE(FileReader::Open("/tmp"));
  // A pipe named like a track: the open must not wait for a writer.
  ASSERT_EQ(mkfifo((path_ + ".fifo").c_str(), 0600), 0);
  EXPECT_FALSE(FileReader::Open(path_ + ".fifo"));
  std::remove((path_ + ".fifo").c_str());
  auto reader = FileReader::Open(path_);
  EXPECT_EQ(reader->Seek(-1, SEEK_SET), -1);
  EXPECT_EQ(reader->Seek(0, 42), -1);
  EXPECT_EQ(reader->Seek(1000, SEEK_END), static_cast<off_t>(content_.size()) + 1000);
  char c;
  EXPECT_EQ(reader->Read(&c, 1), 0);  // past the end: nothing, not an error
}

}  // namespace
}  // namespace veldan
