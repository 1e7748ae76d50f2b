// Installed and portable copies over a temporary tree mapped as drive U:, with the user's config,
// home and music folders pointed into it.
#include "platform/install_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/temp_drives.h"

namespace veldan {
namespace {

using test::DriveEnv;
using test::TempTree;

class InstallLayoutTest : public testing::Test {
 protected:
  InstallLayoutTest() : env_("U=fixed:" + tree_.root()) {
    if (const char* home = std::getenv("HOME")) home_ = home;
    for (const char* dir : {"usr", "usr/bin", "usr/share", "usr/share/veldan", "home", "music",
                            "music/Band", "disc"}) {
      tree_.MakeFolder(dir);
    }
    tree_.WriteFile("usr/share/veldan/VELDAN.HLP");
    setenv("XDG_CONFIG_HOME", tree_.Path("config").c_str(), 1);
    setenv("HOME", tree_.Path("home").c_str(), 1);
    setenv("XDG_MUSIC_DIR", tree_.Path("music").c_str(), 1);
  }
  ~InstallLayoutTest() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_MUSIC_DIR");
    setenv("HOME", home_.c_str(), 1);
  }
  static std::string StartingFolder() {
    char out[512];
    return InstalledStartingFolder(out, sizeof out) ? out : "<fail>";
  }

  TempTree tree_;
  DriveEnv env_;
  std::string home_;
};

TEST_F(InstallLayoutTest, OnlyABinFolderWithTheSharedHelpFileBesideItIsInstalled) {
  tree_.MakeFolder("usr/tools");
  tree_.MakeFolder("opt");
  tree_.MakeFolder("opt/bin");
  EXPECT_TRUE(IsInstalledCopy("U:\\usr\\bin"));
  EXPECT_FALSE(IsInstalledCopy("U:\\usr\\tools"));  // share/veldan beside, but not bin/
  EXPECT_FALSE(IsInstalledCopy("U:\\opt\\bin"));    // bin/ without the shared help file
  EXPECT_FALSE(IsInstalledCopy("U:\\disc"));
  EXPECT_FALSE(IsInstalledCopy("Z:\\usr\\bin"));  // no such drive

  char help[512];
  ASSERT_TRUE(InstalledHelpFile("U:\\usr\\bin", help, sizeof help));
  EXPECT_STREQ(help, "U:\\usr\\share\\veldan\\VELDAN.HLP");
  EXPECT_FALSE(InstalledHelpFile("U:\\disc", help, sizeof help));
  EXPECT_STREQ(help, "");
}

TEST_F(InstallLayoutTest, StartsInTheRememberedFolderWhileItExistsElseInTheMusicFolder) {
  EXPECT_EQ(StartingFolder(), "U:\\music");

  // A portable copy leaves the user's settings alone.
  RememberStartingFolder("U:\\disc", "U:\\disc");
  EXPECT_EQ(StartingFolder(), "U:\\music");

  RememberStartingFolder("U:\\usr\\bin", "U:\\music\\Band");
  EXPECT_EQ(StartingFolder(), "U:\\music\\Band");
  RememberStartingFolder("U:\\usr\\bin", "U:");
  EXPECT_EQ(StartingFolder(), "U:");

  RememberStartingFolder("U:\\usr\\bin", "U:\\music\\Gone");
  EXPECT_EQ(StartingFolder(), "U:\\music");

  // Without a music folder of the user's own: the home folder.
  unsetenv("XDG_MUSIC_DIR");
  EXPECT_EQ(StartingFolder(), "U:\\home");
}

TEST_F(InstallLayoutTest, ADamagedSavedFolderIsPassedOver) {
  tree_.MakeFolder("config");
  tree_.MakeFolder("config/VELDAN");
  for (const std::string& saved : {std::string(), std::string("U:\\music\0Band", 13),
                                   "U:\\" + std::string(600, 'a'), std::string("Q:\\nowhere")}) {
    tree_.WriteFile("config/VELDAN/starting-folder", saved);
    EXPECT_EQ(StartingFolder(), "U:\\music") << saved.size() << " bytes";
  }
  tree_.WriteFile("config/VELDAN/starting-folder", "U:\\music\\Band\n");
  EXPECT_EQ(StartingFolder(), "U:\\music\\Band");
}

TEST_F(InstallLayoutTest, AConfigFolderThatCannotBeMadeSavesNothing) {
  tree_.WriteFile("config");  // a file where the folder would go
  char out[512];
  EXPECT_FALSE(UserConfigFolder(true, out, sizeof out));
  EXPECT_STREQ(out, "");
  RememberStartingFolder("U:\\usr\\bin", "U:\\music\\Band");
  EXPECT_EQ(StartingFolder(), "U:\\music");

  unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(UserConfigFolder(true, out, sizeof out));
  EXPECT_STREQ(out, "U:\\home\\.config\\VELDAN");
}

ResumePoint Point(const char* folder, const char* track, int64_t ms) {
  ResumePoint point;
  std::snprintf(point.starting_folder, sizeof point.starting_folder, "%s", folder);
  std::snprintf(point.track, sizeof point.track, "%s", track);
  point.position_ms = ms;
  return point;
}

TEST_F(InstallLayoutTest, AnInstalledCopyGetsBackTheResumePointItSavedAndNothingDamaged) {
  ResumePoint read;
  EXPECT_FALSE(SavedResumePoint(&read));

  // A portable copy saves nothing.
  RememberResumePoint("U:\\disc", Point("U:\\disc", "U:\\disc\\01.mp3", 1000));
  EXPECT_FALSE(SavedResumePoint(&read));

  // Names may end in blanks and hold "=" or "#"; they come back byte for byte.
  RememberResumePoint("U:\\usr\\bin", Point("U:\\music\\Band ", "U:\\music\\Band \\#1 = a.mp3", 30250));
  ASSERT_TRUE(SavedResumePoint(&read));
  EXPECT_STREQ(read.starting_folder, "U:\\music\\Band ");
  EXPECT_STREQ(read.track, "U:\\music\\Band \\#1 = a.mp3");
  EXPECT_EQ(read.position_ms, 30250);

  // A later point replaces the earlier whole; one that could not be read back is not saved.
  RememberResumePoint("U:\\usr\\bin", Point("U:\\music", "U:\\music\\b.mp3", 5));
  RememberResumePoint("U:\\usr\\bin", Point("U:\\music", "U:\\music\\x\ny.mp3", 9));
  RememberResumePoint("U:\\usr\\bin", Point("U:\\music", "", 9));
  ASSERT_TRUE(SavedResumePoint(&read));
  EXPECT_STREQ(read.track, "U:\\music\\b.mp3");
  EXPECT_EQ(read.position_ms, 5);

  for (const std::string& damaged :
       {std::string("folder=U:\\music\ntrack=U:\\music\\b.mp3\n"),
        std::string("folder=U:\\music\ntrack=U:\\music\\b.mp3\nposition_ms=-4\n"),
        std::string("folder=U:\\music\ntrack=U:\\music\\b.mp3\nposition_ms=99999999999999999\n"),
        std::string("folder=U:\\music\ntrack=\nposition_ms=4\n"),
        std::string("folder=U:\\mu\0sic\ntrack=U:\\b.mp3\nposition_ms=4\n", 45),
        "folder=U:\\music\ntrack=U:\\" + std::string(600, 'a') + "\nposition_ms=4\n",
        std::string(20000, '#')}) {
    tree_.WriteFile("config/VELDAN/resume", damaged);
    EXPECT_FALSE(SavedResumePoint(&read)) << damaged.substr(0, 60);
    EXPECT_STREQ(read.track, "");
  }
}

TEST_F(InstallLayoutTest, TheReplayGainSettingIsReadFromTheInstalledCopysKeyFile) {
  EXPECT_EQ(ReadReplayGainSetting("U:\\usr\\bin"), ReplayGainSetting::kAuto);
  tree_.MakeFolder("config");
  tree_.MakeFolder("config/VELDAN");
  const struct {
    const char* file;
    ReplayGainSetting setting;
  } cases[] = {
      {"replaygain=off\n", ReplayGainSetting::kOff},
      {"# how loud\n  replaygain = album   # the folder's gain\n", ReplayGainSetting::kAlbum},
      {"other=1\r\nreplaygain=track\r\n", ReplayGainSetting::kTrack},
      {"replaygain=loud\n", ReplayGainSetting::kAuto},
      {"#replaygain=off\n", ReplayGainSetting::kAuto},
  };
  for (const auto& c : cases) {
    tree_.WriteFile("config/VELDAN/veldan.conf", c.file);
    EXPECT_EQ(ReadReplayGainSetting("U:\\usr\\bin"), c.setting) << c.file;
    // A portable copy keeps no settings outside its own folder.
    EXPECT_EQ(ReadReplayGainSetting("U:\\disc"), ReplayGainSetting::kAuto);
  }
}

}  // namespace
}  // namespace veldan
