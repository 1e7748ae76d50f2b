// The sound output with SDL loaded at run time, and without it.
#include "decoder/sound_output.h"

#include <gtest/gtest.h>

#include "decoder/sdl_library.h"

namespace veldan::test {
namespace {

TEST(SdlLibraryTest, LoadsOnlyALibraryWithEveryFunction) {
  SdlLibrary table{};
  EXPECT_FALSE(LoadSdlLibrary("libveldan-no-such-library.so.0", &table));
  EXPECT_FALSE(LoadSdlLibrary("libm.so.6", &table));  // loads, but has none of them
  EXPECT_EQ(table.InitSubSystem, nullptr);
  EXPECT_EQ(table.PauseAudioDevice, nullptr);

  const SdlLibrary* sdl = SystemSdl();
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(SystemSdl(), sdl);
  EXPECT_NE(sdl->OpenAudioDevice, nullptr);
  EXPECT_NE(sdl->PauseAudioDevice, nullptr);
}

void Silence(void*, float* samples, int frames, int channels) {
  for (int i = 0; i < frames * channels; ++i) samples[i] = 0.0f;
}

// A system without SDL behaves as one without any device: nothing opens, and nothing fails
// on the way.
TEST(SoundOutputTest, WithoutSdlNoDeviceOpens) {
  SoundOutput output(Silence, nullptr, [] { return static_cast<const SdlLibrary*>(nullptr); });
  output.StartSystem();
  bool reopened = false;
  EXPECT_FALSE(output.Use(44100, 2, "track", &reopened));
  EXPECT_FALSE(output.is_open());
  output.SetRunning(true);
  EXPECT_FALSE(output.running());
  EXPECT_FALSE(output.Use(44100, 2, "track", &reopened));
  output.Close();
}

TEST(SoundOutputTest, OpensOnTheDummyDriverAndKeepsTheDeviceForTheSameFormat) {
  SoundOutput output(Silence, nullptr);
  output.StartSystem();
  bool reopened = false;
  ASSERT_TRUE(output.Use(44100, 2, "track", &reopened));
  EXPECT_TRUE(reopened);
  output.SetRunning(true);
  EXPECT_TRUE(output.running());
  ASSERT_TRUE(output.Use(44100, 2, "next", &reopened));
  EXPECT_FALSE(reopened);
  ASSERT_TRUE(output.Use(22050, 1, "mono", &reopened));
  EXPECT_TRUE(reopened);
  EXPECT_FALSE(output.running());  // a reopened device waits to be started
  EXPECT_EQ(output.rate(), 22050);
  EXPECT_EQ(output.channels(), 1);
  output.Close();
  EXPECT_FALSE(output.is_open());
}

}  // namespace
}  // namespace veldan::test
