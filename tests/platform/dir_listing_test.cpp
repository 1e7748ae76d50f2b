#include "platform/dir_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <string>

#include "platform/mount_table.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using test::DriveEnv;
using test::TempTree;

// name -> is_folder for everything a pattern lists.
std::map<std::string, bool> List(const std::string& pattern) {
  std::map<std::string, bool> items;
  DirListing listing;
  if (!listing.Open(pattern.c_str())) return items;
  DirItem item;
  while (listing.Next(&item)) items[item.name] = item.is_folder;
  return items;
}

class DirListingTest : public testing::Test {
 protected:
  DirListingTest() : env_("Q=cdrom:" + tree_.Path("cd")) {
    tree_.MakeFolder("cd");
    tree_.MakeFolder("cd/sub");
    tree_.MakeFolder("cd/.songs");
    tree_.WriteFile("cd/a.mp3");
    tree_.WriteFile("cd/B.MP3");
    tree_.WriteFile("cd/Björk.mp3");
    tree_.WriteFile("cd/back\\slash.mp3");
    tree_.WriteFile("cd/表.mp3");
    tree_.WriteFile("cd/\xEE\x80\x80pua.mp3");
    tree_.WriteFile("cd/🎵.mp3");
    tree_.WriteFile("cd/bad\xFF.mp3");
    tree_.Link("nowhere", "cd/dead.mp3");
    tree_.Link(".", "cd/self");
    tree_.Link("..", "cd/up");
    tree_.Link("sub", "cd/tosub");
    tree_.Link("a.mp3", "cd/alias.mp3");
    tree_.Link("/proc", "cd/proclink");
    mkfifo(tree_.Path("cd/pipe.mp3").c_str(), 0644);
  }

  TempTree tree_;
  DriveEnv env_;
};

TEST_F(DirListingTest, ListsFilesAndFoldersAsProgramText) {
  const std::map<std::string, bool> expected = {
      {".", true},
      {"..", true},
      {".songs", true},
      {"sub", true},
      {"tosub", true},  // a link to a sibling folder is followed
      {"a.mp3", false},
      {"alias.mp3", false},
      {"B.MP3", false},
      {HostNameToProgramText("Björk.mp3"), false},
      {HostNameToProgramText("back\\slash.mp3"), false},
      {"\x95\x5C.mp3", false},
      {HostNameToProgramText("\xEE\x80\x80pua.mp3"), false},
      {HostNameToProgramText("🎵.mp3"), false},
      {HostNameToProgramText("bad\xFF.mp3"), false},
      // Not listed: the dangling link, the links to this folder and its parent, the link into
      // /proc and the pipe.
  };
  EXPECT_EQ(List("Q:\\*.*"), expected);
  EXPECT_EQ(List("Q:*.*"), expected);
  EXPECT_EQ(List("q:/*.*"), expected);

  // Every listed name leads back to its file.
  for (const auto& [name, folder] : expected) {
    std::string host;
    ASSERT_TRUE(ProgramPathToHost(("Q:\\" + name).c_str(), &host));
    struct stat st;
    EXPECT_EQ(stat(host.c_str(), &st), 0) << host;
    EXPECT_EQ(S_ISDIR(st.st_mode), folder) << host;
  }
}

TEST_F(DirListingTest, WildcardsAndExactNames) {
  EXPECT_EQ(List("Q:\\?.MP3"), (std::map<std::string, bool>{{"B.MP3", false},
                                                             {"\x95\x5C.mp3", false},
                                                             {"a.mp3", false}}));
  EXPECT_EQ(List("Q:\\S*"), (std::map<std::string, bool>{{"sub", true}}));  // not the link "self"

  // An exact name finds the item with the name as it is on disk.
  EXPECT_EQ(List("Q:\\A.MP3"), (std::map<std::string, bool>{{"a.mp3", false}}));
  EXPECT_EQ(List("Q:\\b.mp3"), (std::map<std::string, bool>{{"B.MP3", false}}));
  EXPECT_EQ(List("Q:\\SUB"), (std::map<std::string, bool>{{"sub", true}}));
  EXPECT_EQ(List("Q:\\" + HostNameToProgramText("BJÖRK.mp3")).size(), 0u);  // only ASCII folds
  EXPECT_EQ(List("Q:\\" + HostNameToProgramText("Björk.MP3")).size(), 1u);

  DirListing listing;
  EXPECT_FALSE(listing.Open("Q:\\missing.mp3"));
  EXPECT_FALSE(listing.Open("Q:\\dead.mp3"));
  EXPECT_FALSE(listing.Open("Q:\\"));
  EXPECT_FALSE(listing.Open(""));
  EXPECT_FALSE(listing.Open(nullptr));
  DirItem item;
  EXPECT_FALSE(listing.Next(&item));
}

// A track named in another letter case comes back with the folder's own spelling, and the same
// bytes win when the folder holds the name in two cases (a case-sensitive file system).
TEST_F(DirListingTest, ExactNamesTakeTheFoldersSpelling) {
  tree_.WriteFile("cd/Mixed Case.mp3");
  tree_.WriteFile("cd/Twice.mp3");
  tree_.WriteFile("cd/TWICE.mp3");
  EXPECT_EQ(List("Q:\\mixed case.MP3"),
            (std::map<std::string, bool>{{"Mixed Case.mp3", false}}));
  EXPECT_EQ(List("Q:\\TWICE.mp3"), (std::map<std::string, bool>{{"TWICE.mp3", false}}));
  EXPECT_EQ(List("Q:\\Twice.mp3"), (std::map<std::string, bool>{{"Twice.mp3", false}}));
  EXPECT_EQ(List("Q:\\twice.mp3").size(), 1u);
}

TEST_F(DirListingTest, FoldersThatCannotBeListed) {
  DirListing listing;
  EXPECT_FALSE(listing.Open("Q:\\missing\\*.*"));
  EXPECT_FALSE(listing.Open("Q:\\a.mp3\\*.*"));
  EXPECT_FALSE(listing.Open("P:\\*.*"));
  EXPECT_FALSE(listing.Open("C:\\proc\\*.*"));
  EXPECT_FALSE(listing.Open("C:\\sys\\*.*"));
  EXPECT_FALSE(listing.Open("Q:\\proclink\\*.*"));
  EXPECT_EQ(List("C:\\*.*").count("proc"), 0u);
  EXPECT_EQ(List("C:\\*.*").count("sys"), 0u);
  EXPECT_EQ(List("C:\\*.*").count("dev"), 0u);

  // Once the disc is gone its folders can't be listed.
  ASSERT_EQ(rename(tree_.Path("cd").c_str(), tree_.Path("out").c_str()), 0);
  EXPECT_FALSE(listing.Open("Q:\\*.*"));
}

TEST_F(DirListingTest, UnreadableFolderFailsToOpen) {
  tree_.MakeFolder("cd/locked");
  ASSERT_EQ(chmod(tree_.Path("cd/locked").c_str(), 0), 0);
  ASSERT_EQ(chmod(tree_.root().c_str(), 0755), 0);
  EXPECT_TRUE(List("Q:\\*.*").at("locked"));
  // The superuser reads every folder: check as an ordinary user in a child process.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    DirListing listing;
    if (!listing.Open("Q:\\*.*")) _exit(3);  // the drive itself is readable
    _exit(listing.Open("Q:\\locked\\*.*") ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A path of 511 bytes is listed, one of 512 is not; escape pairs count with their four bytes.
TEST(DirListingLimits, ItemsWhoseFullPathWouldNotFitAreSkipped) {
  TempTree tree;
  const std::string f1(200, 'f');
  const std::string f2(200, 'g');
  tree.MakeFolder("cd");
  tree.MakeFolder("cd/" + f1);
  tree.MakeFolder("cd/" + f1 + "/" + f2);
  const std::string folder = "cd/" + f1 + "/" + f2 + "/";
  const std::string prefix = "Q:\\" + f1 + "\\" + f2 + "\\";  // 405 bytes: 106 left
  tree.WriteFile(folder + std::string(106, 'a'));
  tree.WriteFile(folder + std::string(107, 'b'));
  std::string e26;
  for (int i = 0; i < 26; ++i) e26 += "é";
  tree.WriteFile(folder + e26 + "cd");  // 104 + 2
  tree.WriteFile(folder + e26 + "é");   // 108
  DriveEnv env("Q=cdrom:" + tree.Path("cd"));

  const auto items = List(prefix + "*.*");
  EXPECT_EQ(items.size(), 4u);  // ".", "..", and the two that fit
  EXPECT_EQ(items.count(std::string(106, 'a')), 1u);
  EXPECT_EQ(items.count(HostNameToProgramText(e26 + "cd")), 1u);
  for (const auto& [name, folder_flag] : items) EXPECT_LE(prefix.size() + name.size(), 511u);
  EXPECT_EQ(List(prefix + std::string(107, 'b')).size(), 0u);
}

// The search's walk: depth-first, names starting with '.' skipped, at most ten levels.
int Walk(const std::string& folder, int depth, std::set<std::string>* folders, int budget,
         const std::string& skip = "") {
  if (depth >= 10 || static_cast<int>(folders->size()) >= budget || folder == skip) return 0;
  DirListing listing;
  if (!listing.Open((folder + "\\*.*").c_str())) return 0;
  int files = 0;
  DirItem item;
  while (listing.Next(&item)) {
    const std::string path = folder + "\\" + item.name;
    if (!item.is_folder) {
      ++files;
    } else if (item.name[0] != '.') {
      folders->insert(path);
      files += Walk(path, depth + 1, folders, budget, skip);
    }
  }
  return files;
}

TEST(DirListingLinks, LinksIntoEachOthersFoldersEnd) {
  TempTree tree;
  tree.MakeFolder("cd");
  tree.MakeFolder("cd/a");
  tree.MakeFolder("cd/b");
  tree.Link("../b", "cd/a/l1");
  tree.Link("../a", "cd/b/l2");
  tree.Link("../..", "cd/a/top");
  DriveEnv env("Q=cdrom:" + tree.Path("cd"));
  std::set<std::string> folders;
  Walk("Q:", 0, &folders, 1000);
  EXPECT_EQ(folders, (std::set<std::string>{"Q:\\a", "Q:\\a\\l1", "Q:\\b", "Q:\\b\\l2"}));
}

// Some sandboxes have no /proc/self/mounts (a missing table stands for it here): the virtual
// file systems are then known by their statfs type, found where a folder crosses into another
// file system, and a walk of /sys or of a link into /proc lists nothing.
TEST(DirListingWalk, WithoutAMountTableVirtualFileSystemsAreKnownByType) {
  struct statfs proc_fs;
  struct statfs sys_fs;
  if (statfs("/proc", &proc_fs) != 0 || !IsVirtualFsMagic(proc_fs.f_type) ||
      statfs("/sys", &sys_fs) != 0 || !IsVirtualFsMagic(sys_fs.f_type)) {
    GTEST_SKIP() << "/proc and /sys are not the kernel's here";
  }
  TempTree tree;
  tree.MakeFolder("cd");
  tree.MakeFolder("cd/music");
  tree.WriteFile("cd/music/a.mp3");
  tree.Link("/proc", "cd/proclink");
  tree.Link("/sys/kernel", "cd/syslink");
  DriveEnv env("Q=cdrom:" + tree.Path("cd"));
  ReloadDriveTable((tree.root() + "/no-mounts").c_str());

  const auto root = List("C:\\*.*");
  EXPECT_EQ(root.count("proc"), 0u);
  EXPECT_EQ(root.count("sys"), 0u);
  EXPECT_EQ(root.count("tmp"), 1u);
  DirListing listing;
  EXPECT_FALSE(listing.Open("C:\\proc\\*.*"));
  EXPECT_FALSE(listing.Open("C:\\sys\\kernel\\*.*"));
  std::set<std::string> folders;
  EXPECT_EQ(Walk("C:\\sys", 0, &folders, 1000), 0);
  EXPECT_TRUE(folders.empty());
  EXPECT_EQ(Walk("Q:", 0, &folders, 1000), 1);
  EXPECT_EQ(folders, (std::set<std::string>{"Q:\\music"}));
}

TEST(DirListingWalk, WholeFileSystemWalkEnds) {
  std::set<std::string> folders;
  const auto start = std::chrono::steady_clock::now();
  // A budget keeps the test bounded on a machine with a very large disk; C:\mnt holds other
  // systems' mounts, not ours to read.
  const int files = Walk("C:", 0, &folders, 200000, "C:\\mnt");
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  EXPECT_GT(files, 0);
  for (const std::string& f : folders) {
    ASSERT_NE(f.rfind("C:\\proc\\", 0), 0u) << f;
    ASSERT_NE(f.rfind("C:\\sys\\", 0), 0u) << f;
    ASSERT_NE(f, "C:\\proc");
  }
  std::printf("walked %zu folders, %d files in %lld s\n", folders.size(), files,
              static_cast<long long>(seconds));
}

}  // namespace
}  // namespace veldan
