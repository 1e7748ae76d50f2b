#include "sel/selection_result.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"

namespace veldan {
namespace {

// Entries 0-2 in folder A, 3-4 in folder B.
void SetFiveEntries() {
  const char* entries[] = {"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\A\\3.mp3", "C:\\B\\4.mp3",
                           "C:\\B\\5.mp3"};
  for (int i = 0; i < 5; ++i) std::strcpy(g_state.catalogue.entries[i], entries[i]);
  g_state.catalogue.count = 5;
}

TEST(HandOnSelectionTest, OnlyAChoiceWhilePlayingMovesTheIndexAndStopsTheDecoder) {
  struct Case {
    const char* what;
    int result;
    bool playing;
    bool album_lock;
    int32_t chosen;
    bool handed_on;
    int32_t current_after;  // the dialog has already made chosen current
  };
  const Case cases[] = {
      {"chosen while playing", 1, true, false, 3, true, 2},
      {"first entry while playing wraps to the last", 1, true, false, 0, true, 4},
      {"album's first entry under the lock gives the album's last", 1, true, true, 3, true, 4},
      {"chosen while stopped", 1, false, false, 3, false, 3},
      {"closed without a choice while playing", 2, true, false, 3, false, 3},
      {"no index handed on", 1, true, false, -1, false, 3},
      {"an index past the catalogue", 1, true, false, 5, false, 3},
  };
  for (const Case& c : cases) {
    ResetProgramState();
    fake::ResetDecoder();
    SetFiveEntries();
    g_state.catalogue.current = 3;
    if (c.chosen >= 0 && c.chosen < 5) g_state.catalogue.current = c.chosen;
    g_state.continuous_play = c.playing;
    EXPECT_EQ(HandOnSelection(c.result, c.chosen, c.album_lock), c.handed_on) << c.what;
    EXPECT_EQ(g_state.catalogue.current, c.current_after) << c.what;
    EXPECT_EQ(fake::CallLog(),
              c.handed_on ? std::vector<std::string>{"stop"} : std::vector<std::string>{})
        << c.what;
    EXPECT_EQ(g_state.continuous_play, c.playing) << c.what;
  }
}

}  // namespace
}  // namespace veldan
