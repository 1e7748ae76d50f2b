// The sound output with SDL loaded at run time, and without it.
#include "decoder/sound_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

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

// A stand-in for SDL: a sound server that is there or not, one device at a time, and a record
// of which driver was started.
struct FakeSdl {
  static inline bool server_up = true;  // the configured driver starts and opens
  static inline bool device_alive = true;
  static inline bool dummy_next = false;  // the next start is the dummy's
  static inline bool on_dummy = false;
  static inline int initialised = 0;
  static inline int opened = 0;
  static inline SDL_AudioDeviceID device = 0;

  static void Reset() {
    server_up = device_alive = true;
    dummy_next = on_dummy = false;
    initialised = opened = 0;
    device = 0;
  }
  static SdlLibrary Table() {
    SdlLibrary t{};
    t.InitSubSystem = [](Uint32) {
      on_dummy = dummy_next;
      if (!on_dummy && !server_up) return -1;
      ++initialised;
      return 0;
    };
    t.QuitSubSystem = [](Uint32) { --initialised; };
    t.WasInit = [](Uint32) { return static_cast<Uint32>(initialised > 0 ? SDL_INIT_AUDIO : 0); };
    t.Quit = [] {};
    t.SetHint = [](const char*, const char*) { return SDL_TRUE; };
    t.SetHintWithPriority = [](const char*, const char* value, SDL_HintPriority) {
      dummy_next = std::strcmp(value, "dummy") == 0;
      return SDL_TRUE;
    };
    t.ResetHint = [](const char*) {
      dummy_next = false;
      return SDL_TRUE;
    };
    t.OpenAudioDevice = [](const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int) {
      if (!on_dummy && !server_up) return SDL_AudioDeviceID{0};
      device_alive = true;
      ++opened;
      device = static_cast<SDL_AudioDeviceID>(opened + 1);
      return device;
    };
    t.CloseAudioDevice = [](SDL_AudioDeviceID) { device = 0; };
    t.PauseAudioDevice = [](SDL_AudioDeviceID, int) {};
    t.GetAudioDeviceStatus = [](SDL_AudioDeviceID id) {
      return id == device && device_alive ? SDL_AUDIO_PLAYING : SDL_AUDIO_STOPPED;
    };
    return t;
  }
};

const SdlLibrary* FakeLoader() {
  static SdlLibrary table = FakeSdl::Table();
  return &table;
}

// No server at the first play: the dummy stands in, and gives way to the server at the next
// reopen once it is there. A device of the server that goes away is not replaced by the dummy:
// it is found again once the server is back.
TEST(SoundOutputTest, TheDummyStandsInOnlyUntilTheServerHasHadADevice) {
  FakeSdl::Reset();
  FakeSdl::server_up = false;
  SoundOutput output(Silence, nullptr, FakeLoader);
  output.StartSystem();
  bool reopened = false;
  ASSERT_TRUE(output.Use(44100, 2, "track", &reopened));
  EXPECT_TRUE(output.on_fallback());
  EXPECT_FALSE(output.CheckLost());

  FakeSdl::server_up = true;
  output.Close();
  ASSERT_TRUE(output.Use(44100, 2, "track", &reopened));
  EXPECT_FALSE(output.on_fallback());
  output.SetRunning(true);

  FakeSdl::server_up = false;
  FakeSdl::device_alive = false;
  EXPECT_TRUE(output.CheckLost());
  EXPECT_FALSE(output.is_open());
  EXPECT_EQ(FakeSdl::initialised, 0);  // the dead connection is let go of
  EXPECT_FALSE(output.Use(44100, 2, "track", &reopened));
  EXPECT_FALSE(output.Use(44100, 2, "track", &reopened));
  EXPECT_TRUE(output.available());
  FakeSdl::server_up = true;
  ASSERT_TRUE(output.Use(44100, 2, "track", &reopened));
  EXPECT_TRUE(reopened);
  EXPECT_FALSE(output.on_fallback());
  EXPECT_EQ(output.sessions(), 3);
  output.Close();
  EXPECT_EQ(FakeSdl::initialised, 1);
}

// A running device whose callback no longer comes counts as lost, though SDL does not say so;
// a paused one is never called and is not.
TEST(SoundOutputTest, ARunningDeviceThatIsNoLongerCalledIsLost) {
  FakeSdl::Reset();
  SoundOutput output(Silence, nullptr, FakeLoader);
  output.StartSystem();
  bool reopened = false;
  ASSERT_TRUE(output.Use(44100, 2, "track", &reopened));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_FALSE(output.CheckLost());
  output.SetRunning(true);
  EXPECT_FALSE(output.CheckLost());
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_TRUE(output.CheckLost());
  EXPECT_FALSE(output.is_open());
}

}  // namespace
}  // namespace veldan::test
