#include "art/art_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "art/art_fixtures.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;
using art_test::Bytes;
using art_test::Png;
using art_test::TempFolder;

void SetAge(const std::string& path, std::chrono::seconds age) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

TEST(ArtCacheTest, OneFileForOnePictureNamedByItsContent) {
  TempFolder root;
  const std::string cache = root.path() + "/cache/veldan/art";
  const Bytes picture = Png(300, 300, 1000);
  const std::string first = StorePicture(cache, picture, PictureKind::kPng);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(art_test::ReadAll(first), picture);
  EXPECT_EQ(fs::path(first).filename(), CachedPictureName(picture, PictureKind::kPng));
  EXPECT_EQ(StorePicture(cache, picture, PictureKind::kPng), first);
  EXPECT_EQ(root.Files("cache/veldan/art").size(), 1u);  // no temporary file left either

  Bytes other = picture;
  other.back() ^= 1;
  const std::string second = StorePicture(cache, other, PictureKind::kPng);
  EXPECT_NE(second, first);
  EXPECT_EQ(root.Files("cache/veldan/art").size(), 2u);

  // A file cut short (a power cut before its data reached the disc) is written again.
  fs::resize_file(first, 10);
  EXPECT_EQ(StorePicture(cache, picture, PictureKind::kPng), first);
  EXPECT_EQ(art_test::ReadAll(first), picture);
}

TEST(ArtCacheTest, TrimmedOldestFirstAndOnlyItsOwnFiles) {
  TempFolder cache;
  const ArtCacheLimits limits{3, 1u << 20};
  std::vector<std::string> stored;
  for (int i = 0; i < 5; ++i) {
    stored.push_back(StorePicture(cache.path(), Png(10 + i, 10), PictureKind::kPng, limits));
    ASSERT_FALSE(stored.back().empty());
    for (std::size_t j = 0; j < stored.size(); ++j) {
      if (fs::exists(stored[j])) SetAge(stored[j], std::chrono::seconds(100 * (stored.size() - j)));
    }
  }
  EXPECT_FALSE(fs::exists(stored[0]));
  EXPECT_FALSE(fs::exists(stored[1]));
  EXPECT_TRUE(fs::exists(stored[2]) && fs::exists(stored[3]) && fs::exists(stored[4]));

  // A picture named again is young again: the next one to go is another.
  EXPECT_EQ(StorePicture(cache.path(), Png(12, 10), PictureKind::kPng, limits), stored[2]);
  EXPECT_FALSE(StorePicture(cache.path(), Png(99, 10), PictureKind::kPng, limits).empty());
  EXPECT_TRUE(fs::exists(stored[2]));
  EXPECT_FALSE(fs::exists(stored[3]));

  // Others' files stay; a writer's temporary file goes once it is an hour old.
  const std::string foreign = cache.Write("notes.txt", {'x'});
  const std::string fresh = cache.Write(".part-fresh", {'x'});
  const std::string stale = cache.Write(".part-stale", {'x'});
  SetAge(stale, std::chrono::hours(2));
  SetAge(foreign, std::chrono::hours(2));
  TrimArtCache(cache.path(), {1, 1u << 20});
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_EQ(cache.Files().size(), 3u);  // one picture, the note and the fresh temporary file

  // The byte limit counts too.
  TempFolder bytes_cache;
  const ArtCacheLimits small{64, 3000};
  const std::string a = StorePicture(bytes_cache.path(), Png(1, 1, 2000), PictureKind::kPng, small);
  SetAge(a, std::chrono::seconds(10));
  const std::string b = StorePicture(bytes_cache.path(), Png(2, 1, 2000), PictureKind::kPng, small);
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(b));
}

TEST(ArtCacheTest, FailuresNameNothing) {
  TempFolder root;
  const std::string file = root.Write("a-file", {'x'});
  EXPECT_EQ(StorePicture(file + "/art", Png(1, 1), PictureKind::kPng), "");
  EXPECT_EQ(StorePicture("", Png(1, 1), PictureKind::kPng), "");
  EXPECT_EQ(StorePicture(root.path(), Png(1, 1), PictureKind::kNone), "");
}

TEST(ArtCacheTest, DefaultFolderFollowsTheXdgRules) {
  const char* old_cache = std::getenv("XDG_CACHE_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_cache = old_cache ? old_cache : "";
  const std::string saved_home = old_home ? old_home : "";
  setenv("HOME", "/home/listener", 1);
  setenv("XDG_CACHE_HOME", "/var/cache/me", 1);
  EXPECT_EQ(DefaultArtCacheFolder(), "/var/cache/me/veldan/art");
  setenv("XDG_CACHE_HOME", "relative/cache", 1);  // not absolute: ignored, as the rules say
  EXPECT_EQ(DefaultArtCacheFolder(), "/home/listener/.cache/veldan/art");
  unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(DefaultArtCacheFolder(), "/home/listener/.cache/veldan/art");
  unsetenv("HOME");
  EXPECT_EQ(DefaultArtCacheFolder(), "");
  if (old_cache) setenv("XDG_CACHE_HOME", saved_cache.c_str(), 1);
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace veldan
