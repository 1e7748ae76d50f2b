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

// A long zero run after the audio's start ends the data there; a shorter one, or one before the
// audio's start (tag padding), is data like any other.
TEST_F(FileReaderTest, ALongZeroRunEndsTheDataWhereItBegins) {
  const off_t kRun = FileReader::kLongZeroRun;
  std::string file(1000, 'a');
  file += std::string(3000, '\0') + "b";  // a short run, and data after it
  const off_t tail = static_cast<off_t>(file.size()) + 77;
  file += std::string(77, '\0');  // the run that ends the data
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << file;
  ASSERT_EQ(truncate(path_.c_str(), tail + kRun + 12345), 0);  // sparse: costs no disk

  auto read_all = [](FileReader& reader) {
    std::string got;
    char block[777];
    for (ssize_t n; (n = reader.Read(block, sizeof block)) > 0;) got.append(block, n);
    return got;
  };
  auto reader = FileReader::Open(path_);
  ASSERT_TRUE(reader);
  reader->EndAtLongZeroRuns(500);
  // The zeros read before the run was known to be long are delivered; nothing after them.
  const std::string got = read_all(*reader);
  EXPECT_GE(got.size(), static_cast<std::size_t>(tail));
  EXPECT_LE(got.size(), static_cast<std::size_t>(tail + kRun));
  EXPECT_TRUE(got.compare(0, file.size(), file) == 0);
  EXPECT_EQ(got.find_first_not_of('\0', file.size()), std::string::npos);
  // Past the end of the data a seek finds nothing to read; back before it, the data again.
  EXPECT_EQ(reader->Seek(tail + 5000, SEEK_SET), tail + 5000);
  char byte = 'x';
  EXPECT_EQ(reader->Read(&byte, 1), 0);
  EXPECT_EQ(reader->Seek(3999, SEEK_SET), 3999);
  EXPECT_EQ(reader->Read(&byte, 1), 1);
  EXPECT_EQ(byte, '\0');
  EXPECT_EQ(reader->size(), tail + kRun + 12345);

  // Without the rule, or with the run before where the rule begins, every byte is read.
  auto plain = FileReader::Open(path_);
  ASSERT_TRUE(plain);
  EXPECT_EQ(read_all(*plain).size(), static_cast<std::size_t>(tail + kRun + 12345));
  auto late = FileReader::Open(path_);
  ASSERT_TRUE(late);
  late->EndAtLongZeroRuns(tail + kRun + 1);
  EXPECT_EQ(read_all(*late).size(), static_cast<std::size_t>(tail + kRun + 12345));
}

}  // namespace
}  // namespace veldan
