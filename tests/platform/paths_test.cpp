#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host_path.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using test::DriveEnv;
using test::TempTree;

// A disc on Q: with a second drive R: nested inside it, so the longest root must win.
class PathsTest : public testing::Test {
 protected:
  PathsTest() : env_("Q=cdrom:" + tree_.Path("cd") + ";R=fixed:" + tree_.Path("cd/sub")) {
    tree_.MakeFolder("cd");
    tree_.MakeFolder("cd/sub");
    tree_.MakeFolder("cd/Music");
    tree_.MakeFolder("cd/表");
    tree_.WriteFile("cd/Music/a.mp3");
    tree_.MakeFolder("cd/Björk");
  }
  std::string Program(const std::string& host) {
    char out[512];
    return HostPathToProgram(host, out, sizeof out) ? out : "<fail>";
  }
  std::string Host(const char* program) {
    std::string host;
    return ProgramPathToHost(program, &host) ? host : "<fail>";
  }
  std::string Argument(const char* arg) {
    char out[512];
    return ArgumentToProgramPath(arg, out, sizeof out) ? out : "<fail>";
  }

  TempTree tree_;
  DriveEnv env_;
};

TEST_F(PathsTest, HostToProgram) {
  const std::string cd = tree_.Path("cd");
  EXPECT_EQ(Program(cd), "Q:\\");
  EXPECT_EQ(Program(cd + "/"), "Q:\\");
  EXPECT_EQ(Program(cd + "/Music/a.mp3"), "Q:\\Music\\a.mp3");
  EXPECT_EQ(Program(cd + "/./Music//x/../a.mp3"), "Q:\\Music\\a.mp3");
  EXPECT_EQ(Program(cd + "/sub/x"), "R:\\x");
  EXPECT_EQ(Program(cd + "/Björk"), "Q:\\Bj\xF0\x40\xF1\x7Ark");
  std::string on_c = "C:" + cd + "x";  // a sibling of the root is not on the drive
  for (char& c : on_c) c = c == '/' ? '\\' : c;
  EXPECT_EQ(Program(cd + "x"), on_c);
  EXPECT_EQ(Program("/"), "C:\\");
  EXPECT_EQ(Program("/etc/../etc//passwd"), "C:\\etc\\passwd");
  EXPECT_EQ(Program(""), "<fail>");

  char tiny[8] = "junk";
  EXPECT_FALSE(HostPathToProgram(cd + "/Music", tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
}

TEST_F(PathsTest, ProgramToHost) {
  const std::string cd = tree_.Path("cd");
  EXPECT_EQ(Host("Q:\\"), cd);
  EXPECT_EQ(Host(DriveRoot('Q').c_str()), cd);
  EXPECT_EQ(Host(DriveRoot('r').c_str()), cd + "/sub");
  EXPECT_EQ(Host("Q:"), cd);
  EXPECT_EQ(Host("Q:\\Music\\a.mp3"), cd + "/Music/a.mp3");
  EXPECT_EQ(Host("q:/Music/a.mp3"), cd + "/Music/a.mp3");
  EXPECT_EQ(Host("Q:Music"), cd + "/Music");
  EXPECT_EQ(Host("Q:\\..\\..\\x"), cd + "/x");  // never above the drive's root
  EXPECT_EQ(Host("Q:\\\x95\x5C\\a"), cd + "/表/a");
  EXPECT_EQ(Host("Q:\\Bj\xF0\x40\xF1\x7Ark"), cd + "/Björk");
  EXPECT_EQ(Host("Q:\\a\xF0\x40\xF0\x6F" "b"), cd + "/a\xEE\x80\x80\xEE\x80\xAF" "b");
  EXPECT_EQ(Host("C:\\etc"), "/etc");
  EXPECT_EQ(Host("P:\\x"), "<fail>");
  EXPECT_EQ(Host(""), "<fail>");

  ASSERT_EQ(chdir((cd + "/Music").c_str()), 0);
  EXPECT_EQ(Host("x\\y"), cd + "/Music/x/y");
  EXPECT_EQ(Host("\\x"), cd + "/x");
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(PathsTest, ArgumentsInEitherForm) {
  const std::string cd = tree_.Path("cd");
  EXPECT_EQ(Argument((cd + "/Music").c_str()), "Q:\\Music\\");  // a folder names itself
  EXPECT_EQ(Argument((cd + "/Music/a.mp3").c_str()), "Q:\\Music\\a.mp3");
  EXPECT_EQ(Argument("q:/Music"), "Q:\\Music\\");
  EXPECT_EQ(Argument("Q:\\Lists\\Party.m3u"), "Q:\\Lists\\Party.m3u");
  EXPECT_EQ(Argument("Q:\\Björk"), "Q:\\Bj\xF0\x40\xF1\x7Ark\\");
  EXPECT_EQ(Argument("Q:"), "Q:\\");
  EXPECT_EQ(Argument(""), "<fail>");

  const char* old_home = std::getenv("HOME");
  const std::string saved = old_home ? old_home : "";
  setenv("HOME", cd.c_str(), 1);
  EXPECT_EQ(Argument("~/Music"), "Q:\\Music\\");
  EXPECT_EQ(Argument("~"), "Q:\\");
  if (old_home) setenv("HOME", saved.c_str(), 1);

  ASSERT_EQ(chdir(cd.c_str()), 0);
  EXPECT_EQ(Argument("Music/a.mp3"), "Q:\\Music\\a.mp3");
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(PathsTest, CurrentFolderAndOwnFile) {
  char out[512];
  ASSERT_TRUE(SetCurrentFolder("Q:\\Music"));
  ASSERT_TRUE(CurrentFolder(out, sizeof out));
  EXPECT_STREQ(out, "Q:\\Music");
  ASSERT_TRUE(SetCurrentFolder("Q:\\"));
  ASSERT_TRUE(CurrentFolder(out, sizeof out));
  EXPECT_STREQ(out, "Q:\\");
  EXPECT_FALSE(SetCurrentFolder("Q:\\missing"));
  ASSERT_EQ(chdir("/"), 0);

  ASSERT_TRUE(OwnProgramPath(out, sizeof out));
  const std::string own = out;
  EXPECT_EQ(own.rfind("C:\\", 0), 0u);
  EXPECT_EQ(own.substr(own.size() - 14), "\\platform_test");
}

TEST(DriveText, LetterOfAPathInEitherCase) {
  EXPECT_EQ(DriveLetterOf("e:\\Music"), 'E');
  EXPECT_EQ(DriveLetterOf("Z:"), 'Z');
  EXPECT_EQ(DriveLetterOf("C"), '\0');  // no colon
  EXPECT_EQ(DriveLetterOf(""), '\0');   // the colon is not read past the terminator
  EXPECT_EQ(DriveLetterOf("1:\\"), '\0');
  EXPECT_EQ(DriveLetterOf("\\\\x"), '\0');
  EXPECT_EQ(DriveLetterOf("\xE0:"), '\0');      // a lead byte, not a letter
  EXPECT_EQ(DriveLetterOf("\x82\x60:"), '\0');  // full-width A
}

TEST(DriveText, RootOfALetter) {
  static constexpr DriveRoot kRoot('Q');
  EXPECT_STREQ(kRoot.c_str(), "Q:\\");
  EXPECT_EQ(std::strlen(DriveRoot('d').c_str()), 3u);
  EXPECT_STREQ(DriveRoot('d').c_str(), "d:\\");  // as given: the callers fold where they must
  EXPECT_EQ(DriveLetterOf(DriveRoot('d').c_str()), 'D');
}

TEST(HostPath, NormalisesLexically) {
  EXPECT_EQ(NormaliseHostPath("/a/./b/../c/"), "/a/c");
  EXPECT_EQ(NormaliseHostPath("/../.."), "/");
  EXPECT_EQ(NormaliseHostPath("x/../y", "/base"), "/base/y");
  EXPECT_TRUE(IsHostPathWithin("/media/cd/x", "/media/cd"));
  EXPECT_TRUE(IsHostPathWithin("/media/cd", "/media/cd"));
  EXPECT_FALSE(IsHostPathWithin("/media/cdx", "/media/cd"));
  EXPECT_TRUE(IsHostPathWithin("/anything", "/"));
}

}  // namespace
}  // namespace veldan
