#include "opt/equalizer_preset.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "ui/temp_drives.h"

namespace veldan {
namespace {

class EqualizerPresetTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    drives_.MakeFolder(drives_.Q("prog"));
  }

  QString PresetHostPath() const { return drives_.Q("prog/VELDANEQ.DEF"); }
  void WritePreset(const QByteArray& bytes) const { test::TempDrives::MakeFile(PresetHostPath(), bytes); }
  QByteArray ReadPreset() const {
    QFile file(PresetHostPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
  }
  static std::vector<int32_t> Applied() {
    return {g_state.applied_equalizer, g_state.applied_equalizer + kEqualizerBands};
  }
  static bool SetEqualizerCalled() {
    for (const auto& call : fake::CallLog()) {
      if (call == "setEqualizer") return true;
    }
    return false;
  }

  test::TempDrives drives_;
};

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values) bytes.append(static_cast<char>(v));
  return bytes;
}

TEST_F(EqualizerPresetTest, LoadsAsMuchAsTheFileHoldsAndHandsItOver) {
  QByteArray forty(40, '\0');
  forty.replace(0, 4, Bytes({0x78, 0, 0, 0}));           // +120 at 60 Hz
  forty.replace(36, 4, Bytes({0xF6, 0xFF, 0xFF, 0xFF}));  // -10 at 16 kHz
  const QByteArray fifty = forty + QByteArray(10, '\x7F');
  const QByteArray twenty = Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0});
  // Bytes 4 and 5 become the low bytes of the 170 Hz band; its high bytes keep what they held.
  const QByteArray six = Bytes({0x0F, 0, 0, 0, 0x34, 0x12});

  const struct {
    const char* name;
    QByteArray bytes;
    std::vector<int32_t> before;
    std::vector<int32_t> after;
  } cases[] = {
      {"40 bytes", forty, std::vector<int32_t>(10, 0), {120, 0, 0, 0, 0, 0, 0, 0, 0, -10}},
      {"50 bytes", fifty, std::vector<int32_t>(10, 0), {120, 0, 0, 0, 0, 0, 0, 0, 0, -10}},
      {"20 bytes", twenty, std::vector<int32_t>(10, 9), {1, 2, 3, 4, 5, 9, 9, 9, 9, 9}},
      {"6 bytes", six, std::vector<int32_t>(10, 0), {15, 0x1234, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"6 bytes over -1", six, std::vector<int32_t>(10, -1),
       {15, static_cast<int32_t>(0xFFFF1234), -1, -1, -1, -1, -1, -1, -1, -1}},
      {"empty", QByteArray(), std::vector<int32_t>(10, 0), std::vector<int32_t>(10, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::ResetDecoder();
    std::memcpy(g_state.applied_equalizer, c.before.data(), sizeof g_state.applied_equalizer);
    WritePreset(c.bytes);
    LoadEqualizerPreset("Q:\\prog");
    EXPECT_EQ(Applied(), c.after);
    EXPECT_EQ(fake::LastEqualizer(), c.after);  // even an empty file is handed over
  }
}

TEST_F(EqualizerPresetTest, MissingFileChangesNothingAndCallsNothing) {
  g_state.applied_equalizer[2] = 40;
  LoadEqualizerPreset("Q:\\prog");
  LoadEqualizerPreset("Q:\\no such folder");
  LoadEqualizerPreset("");
  LoadEqualizerPreset(std::string(600, 'a').c_str());  // does not fit a path buffer
  EXPECT_EQ(g_state.applied_equalizer[2], 40);
  EXPECT_FALSE(SetEqualizerCalled());
}

TEST_F(EqualizerPresetTest, SavesFortyLittleEndianBytesOverAnyOldFile) {
  WritePreset(QByteArray(100, '\x55'));
  const int32_t setting[10] = {120, 0, -120, 15, 5000, 0, 0, 0, 0, -10};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\prog", setting));
  QByteArray expected(40, '\0');
  expected.replace(0, 4, Bytes({0x78, 0, 0, 0}));
  expected.replace(8, 4, Bytes({0x88, 0xFF, 0xFF, 0xFF}));
  expected.replace(12, 4, Bytes({0x0F, 0, 0, 0}));
  expected.replace(16, 4, Bytes({0x88, 0x13, 0, 0}));
  expected.replace(36, 4, Bytes({0xF6, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(ReadPreset(), expected);

  // And back again, exactly.
  LoadEqualizerPreset("Q:\\prog");
  EXPECT_EQ(Applied(), std::vector<int32_t>(setting, setting + 10));
  EXPECT_TRUE(SetEqualizerCalled());
}

TEST_F(EqualizerPresetTest, SaveFailsSilentlyWhereNothingCanBeWritten) {
  const int32_t flat[10] = {};
  EXPECT_FALSE(SaveEqualizerPreset("Q:\\no such folder", flat));
  EXPECT_FALSE(SaveEqualizerPreset("R:", flat));  // a CD drive without a medium
  EXPECT_FALSE(SaveEqualizerPreset(std::string(600, 'a').c_str(), flat));
  EXPECT_FALSE(QFile::exists(drives_.Q("no such folder/VELDANEQ.DEF")));
}

TEST(EqualizerPresetPathTest, BuildsThePathOnlyWhenItFits) {
  char path[512];
  ASSERT_TRUE(EqualizerPresetPath("Q:\\prog", path, sizeof path));
  EXPECT_STREQ(path, "Q:\\prog\\VELDANEQ.DEF");
  const std::string longest(511 - 13, 'a');  // plus "\VELDANEQ.DEF" is 511 bytes
  EXPECT_TRUE(EqualizerPresetPath(longest.c_str(), path, sizeof path));
  EXPECT_FALSE(EqualizerPresetPath((longest + "a").c_str(), path, sizeof path));
  EXPECT_STREQ(path, "");
}

}  // namespace
}  // namespace veldan
