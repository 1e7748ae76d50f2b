// A temporary folder tree that the tests reach as drive T: (through VELDAN_DRIVES).
#pragma once

#include <string>

namespace veldan {

class TempTree {
 public:
  // Creates the folder and maps it as drive letter (fixed); extra_drives are appended to the
  // mapping as they are ("M=cdrom:/somewhere").
  explicit TempTree(char letter = 'T', const std::string& extra_drives = "");
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  // Creates a file (and its folders) at a '/'-separated path below the root.
  void WriteFile(const std::string& relative, const std::string& content = "");
  void MakeFolder(const std::string& relative);

 private:
  std::string root_;
};

}  // namespace veldan
