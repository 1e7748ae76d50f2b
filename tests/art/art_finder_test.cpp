#include "art/art_finder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "art/art_fixtures.h"
#include "platform/file_uri.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;
using art_test::Bytes;
using art_test::Concat;
using art_test::Jpeg;
using art_test::Png;
using art_test::TempFolder;

Bytes Track(const Bytes& front, const Bytes& back = {}) {
  Bytes frames;
  if (!back.empty())
    frames = art_test::Frame(3, "APIC", art_test::PictureFrameData(3, 0, 4, {0}, back));
  if (!front.empty()) {
    frames =
        Concat(frames, art_test::Frame(3, "APIC", art_test::PictureFrameData(3, 0, 3, {0}, front)));
  }
  return Concat(art_test::Tag(3, frames), art_test::Audio());
}

// The bytes of the file a URI names; a URI that names no file gives none.
Bytes BytesBehind(const std::string& uri) {
  std::string path;
  if (!FileUriToHostPath(uri, &path)) return {};
  return art_test::ReadAll(path);
}

class ArtFinderTest : public ::testing::Test {
 protected:
  ArtSettings Installed() const { return {true, cache_folder(), {}}; }
  std::string cache_folder() const { return home_.path() + "/cache/veldan/art"; }
  std::size_t CachedFiles() const {
    return fs::exists(cache_folder()) ? home_.Files("cache/veldan/art").size() : 0;
  }

  TempFolder music_;
  TempFolder home_;
};

TEST_F(ArtFinderTest, AFolderPictureAsAnEncodedUri) {
  const Bytes cover = Jpeg(500, 500, 200);
  const std::string album = "Caf\xC3\xA9 100% Live";
  const std::string picture = music_.Write(album + "/Folder.jpg", cover);
  const std::string track = music_.Write(album + "/01 Intro.mp3", Track(Png(9, 9)));
  for (const bool installed : {false, true}) {
    ArtFinder finder({installed, cache_folder(), {}});
    const std::string uri = finder.FindArtUri(track);
    EXPECT_EQ(uri.find(' '), std::string::npos);
    EXPECT_NE(uri.find("/Caf%C3%A9%20100%25%20Live/Folder.jpg"), std::string::npos) << uri;
    std::string named;
    ASSERT_TRUE(FileUriToHostPath(uri, &named));
    EXPECT_TRUE(fs::equivalent(named, picture));
    EXPECT_EQ(BytesBehind(uri), cover);
  }
  EXPECT_EQ(CachedFiles(), 0u);  // the folder's picture is named as it is, never copied
}

TEST_F(ArtFinderTest, EmbeddedFrontCoverOncePerAlbumInTheCache) {
  const Bytes front = Jpeg(400, 400, 500);
  const Bytes back = Png(400, 400, 300);
  const std::string one = music_.Write("Album/01.mp3", Track(front, back));
  const std::string two = music_.Write("Album/02.mp3", Track(front, back));
  const std::string other = music_.Write("Other/01.mp3", Track({}, back));
  ArtFinder finder(Installed());
  const std::string uri = finder.FindArtUri(one);
  EXPECT_EQ(BytesBehind(uri), front);
  EXPECT_EQ(finder.FindArtUri(two), uri);
  EXPECT_EQ(CachedFiles(), 1u);
  // Only a back cover: that one, a second file.
  EXPECT_EQ(BytesBehind(finder.FindArtUri(other)), back);
  EXPECT_EQ(CachedFiles(), 2u);
  // A folder picture comes first.
  const Bytes folder_picture = Png(200, 200);
  music_.Write("Album/cover.png", folder_picture);
  fs::last_write_time(music_.path() + "/Album",
                      fs::file_time_type::clock::now() + std::chrono::seconds(5));
  EXPECT_EQ(BytesBehind(finder.FindArtUri(two)), folder_picture);
}

TEST_F(ArtFinderTest, APortableCopyExtractsNothing) {
  const std::string track = music_.Write("Album/01.mp3", Track(Jpeg(100, 100)));
  ArtFinder finder({false, cache_folder(), {}});
  EXPECT_EQ(finder.FindArtUri(track), "");
  EXPECT_FALSE(fs::exists(home_.path() + "/cache"));
}

TEST_F(ArtFinderTest, NoPictureNoUri) {
  ArtFinder finder(Installed());
  const Bytes bogus = art_test::Tag(
      3,
      art_test::Frame(3, "APIC", art_test::PictureFrameData(3, 0, 3, {0}, Jpeg(9, 9)), 0, 1u << 30),
      0, 0);
  EXPECT_EQ(finder.FindArtUri(music_.Write("A/plain.mp3", art_test::Audio())), "");
  EXPECT_EQ(finder.FindArtUri(music_.Write("A/bogus.mp3", Concat(bogus, art_test::Audio()))), "");
  EXPECT_EQ(finder.FindArtUri(music_.path() + "/A/missing.mp3"), "");
  EXPECT_EQ(finder.FindArtUri(music_.path() + "/Gone/01.mp3"), "");
  EXPECT_EQ(finder.FindArtUri(""), "");
  EXPECT_EQ(CachedFiles(), 0u);
}

TEST_F(ArtFinderTest, AFolderIsListedOncePerAlbumUntilItChanges) {
  const Bytes cover = Jpeg(100, 100);
  music_.Write("CD/cover.jpg", cover);
  std::vector<std::string> tracks;
  for (int i = 0; i < 5; ++i)
    tracks.push_back(music_.Write("CD/" + std::to_string(i) + ".mp3", art_test::Audio()));
  const std::string elsewhere = music_.Write("Next/01.mp3", art_test::Audio());
  ArtFinder finder({false, "", {}});
  for (const std::string& track : tracks) EXPECT_EQ(BytesBehind(finder.FindArtUri(track)), cover);
  EXPECT_EQ(finder.folder_listings(), 1);
  EXPECT_EQ(finder.FindArtUri(elsewhere), "");
  EXPECT_EQ(finder.FindArtUri(elsewhere), "");
  EXPECT_EQ(finder.folder_listings(), 2);
  // Back to the first album: still known. A picture added to the second is seen.
  EXPECT_EQ(BytesBehind(finder.FindArtUri(tracks[0])), cover);
  const Bytes added = Png(50, 50);
  music_.Write("Next/front.png", added);
  fs::last_write_time(music_.path() + "/Next",
                      fs::file_time_type::clock::now() + std::chrono::seconds(5));
  EXPECT_EQ(BytesBehind(finder.FindArtUri(elsewhere)), added);
  EXPECT_EQ(finder.folder_listings(), 3);
}

}  // namespace
}  // namespace veldan
