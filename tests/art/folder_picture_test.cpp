#include "art/folder_picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "art/art_fixtures.h"
#include "art/picture_check.h"

namespace veldan {
namespace {

using art_test::Jpeg;
using art_test::Png;
using art_test::TempFolder;

TEST(FolderPictureTest, NamesInAnyLetterCase) {
  const struct {
    const char* name;
    int rank;
  } rows[] = {
      {"cover.jpg", 0},
      {"COVER.JPEG", 0},
      {"Cover.Png", 0},
      {"folder.jpg", 1},
      {"Folder.JPG", 1},
      {"front.jpeg", 2},
      {"FRONT.PNG", 2},
      {"AlbumArtSmall.jpg", 3},
      {"AlbumArt_{6A1C0E1F-0B0C-4A5B-9C1D-2E3F4A5B6C7D}_Large.jpg", 3},
      {"albumart.png", 3},
      {"cover.gif", -1},
      {"cover.jpg.bak", -1},
      {"cover", -1},
      {"my cover.jpg", -1},
      {"covers.jpg", -1},
      {"back.jpg", -1},
      {".jpg", -1},
      {"cover.", -1},
  };
  for (const auto& row : rows) EXPECT_EQ(FolderPictureRank(row.name), row.rank) << row.name;

  // Each name alone in a folder is found as it is spelt on disk.
  for (const char* name :
       {"cover.jpg", "COVER.JPEG", "Folder.JPG", "front.Png", "AlbumArtSmall.jpg"}) {
    TempFolder folder;
    folder.Write("01 Track.mp3", art_test::Audio());
    const std::string picture = folder.Write(
        name, std::string(name).find("ng") != std::string::npos ? Png(10, 10) : Jpeg(10, 10));
    EXPECT_EQ(FindFolderPicture(folder.path()), picture) << name;
  }
}

TEST(FolderPictureTest, CoverThenFolderThenFrontThenTheLargestAlbumArt) {
  TempFolder folder;
  const std::string small = folder.Write("AlbumArtSmall.jpg", Jpeg(75, 75, 100));
  const std::string large = folder.Write("AlbumArt_{0A}_Large.jpg", Jpeg(200, 200, 4000));
  EXPECT_EQ(FindFolderPicture(folder.path()), large);
  const std::string front = folder.Write("front.png", Png(100, 100));
  EXPECT_EQ(FindFolderPicture(folder.path()), front);
  const std::string folder_jpg = folder.Write("Folder.jpg", Jpeg(200, 200));
  EXPECT_EQ(FindFolderPicture(folder.path()), folder_jpg);
  folder.Write("cover.jpg", Jpeg(600, 600, 10));
  const std::string cover_png = folder.Write("cover.png", Png(600, 600, 5000));  // the larger
  EXPECT_EQ(FindFolderPicture(folder.path()), cover_png);
  std::filesystem::remove(small);
  EXPECT_EQ(FindFolderPicture(folder.path()), cover_png);
}

TEST(FolderPictureTest, WhatIsNoPictureGivesWayToTheNext) {
  TempFolder folder;
  folder.Write("cover.jpg", art_test::ToBytes("not a picture at all"));
  folder.Write("front.jpg", {});
  std::filesystem::create_directory(folder.path() + "/Folder.jpg");
  {  // larger than a picture may be: a sparse file, no bytes written
    std::ofstream huge(folder.path() + "/AlbumArt_Large.jpg", std::ios::binary);
    const auto jpeg = Jpeg(100, 100);
    huge.write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
    huge.seekp(kMaxPictureBytes + 1);
    huge.put(0);
  }
  EXPECT_EQ(FindFolderPicture(folder.path()), "");
  const std::string small = folder.Write("AlbumArtSmall.png", Png(75, 75));
  EXPECT_EQ(FindFolderPicture(folder.path()), small);
}

TEST(FolderPictureTest, NoPictureOrNoFolder) {
  TempFolder folder;
  folder.Write("01.mp3", art_test::Audio());
  folder.Write("booklet.jpg", Jpeg(100, 100));
  folder.Write("sub/cover.jpg", Jpeg(100, 100));  // another album's
  EXPECT_EQ(FindFolderPicture(folder.path()), "");
  EXPECT_EQ(FindFolderPicture(folder.path() + "/missing"), "");
}

}  // namespace
}  // namespace veldan
