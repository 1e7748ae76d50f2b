// veldan-bench scan FOLDER: one catalogue build without a window, timed.
#include <chrono>
#include <cstdio>

#include "catalogue/catalogue.h"
#include "catalogue/path_text.h"
#include "catalogue/program_state.h"
#include "catalogue/search.h"
#include "commands.h"
#include "platform/paths.h"

namespace veldan::bench {

int RunScan(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: veldan-bench scan FOLDER\n");
    return 2;
  }
  char folder[kTextSize];
  if (!ArgumentToProgramPath(argv[1], folder, sizeof folder)) {
    std::fprintf(stderr, "scan: %s is not a path VELDAN can name\n", argv[1]);
    return 1;
  }
  // A starting folder has no trailing separator; a drive root is held as "X:".
  StripTrailingSeparator(folder);

  ResetProgramState();
  ResetFoldersListed();
  auto start = std::chrono::steady_clock::now();
  BuildCatalogue(folder);
  auto elapsed = std::chrono::steady_clock::now() - start;
  long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  std::printf("scan: %d entries, %lld folders listed, %lld ms\n", g_state.catalogue.count,
              static_cast<long long>(FoldersListed()), ms);
  return 0;
}

}  // namespace veldan::bench
