#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"

namespace veldan {

TempTree::TempTree(char letter, const std::string& extra_drives) {
  char pattern[] = "/tmp/veldan_catalogue_XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  root_ = made != nullptr ? made : "/nonexistent";
  std::string drives = std::string(1, letter) + "=fixed:" + root_;
  if (!extra_drives.empty()) drives += ";" + extra_drives;
  setenv("VELDAN_DRIVES", drives.c_str(), 1);
  ReloadDriveTable();
}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
  unsetenv("VELDAN_DRIVES");
  ReloadDriveTable();
}

void TempTree::WriteFile(const std::string& relative, const std::string& content) {
  std::filesystem::path path = std::filesystem::path(root_) / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void TempTree::MakeFolder(const std::string& relative) {
  std::filesystem::create_directories(std::filesystem::path(root_) / relative);
}

}  // namespace veldan
