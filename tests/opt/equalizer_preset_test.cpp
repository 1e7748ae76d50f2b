#include "opt/equalizer_preset.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "platform/paths.h"
#include "support/small_tmpfs.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values) bytes.append(static_cast<char>(v));
  return bytes;
}

class EqualizerPresetTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    drives_.MakeFolder(drives_.Q("prog"));
  }
  QString PresetFile() const { return QString::fromStdString(drives_.Q("prog/VELDANEQ.DEF")); }
  static std::vector<int32_t> Applied() {
    return {g_state.applied_equalizer, g_state.applied_equalizer + kEqualizerBands};
  }

  test::TempDrives drives_;
};

TEST_F(EqualizerPresetTest, LoadsAsMuchAsTheFileHoldsAndHandsItOver) {
  QByteArray forty(40, '\0');
  forty.replace(0, 4, Bytes({0x78, 0, 0, 0}));            // +120 at 60 Hz
  forty.replace(36, 4, Bytes({0xF6, 0xFF, 0xFF, 0xFF}));  // -10 at 16 kHz
  const std::vector<int32_t> from_forty = {120, 0, 0, 0, 0, 0, 0, 0, 0, -10};
  const QByteArray twenty = Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0});
  // Bytes 4 and 5 become the low bytes of the 170 Hz band; its high bytes keep what they held.
  const QByteArray six = Bytes({0x0F, 0, 0, 0, 0x34, 0x12});
  const std::vector<int32_t> zeros(10, 0);

  const struct {
    const char* name;
    QByteArray bytes;
    std::vector<int32_t> before;
    std::vector<int32_t> after;
  } cases[] = {
      {"40 bytes", forty, zeros, from_forty},
      {"50 bytes", forty + QByteArray(10, '\x7F'), zeros, from_forty},
      {"20 bytes", twenty, std::vector<int32_t>(10, 9), {1, 2, 3, 4, 5, 9, 9, 9, 9, 9}},
      {"6 bytes", six, zeros, {15, 0x1234, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"empty", QByteArray(), zeros, zeros},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::ResetDecoder();
    std::copy(c.before.begin(), c.before.end(), g_state.applied_equalizer);
    drives_.WriteFile(PresetFile().toStdString(), c.bytes.toStdString());
    LoadEqualizerPreset("Q:\\prog");
    EXPECT_EQ(Applied(), c.after);
    EXPECT_EQ(fake::LastEqualizer(), c.after);  // even an empty file is handed over
  }
}

TEST_F(EqualizerPresetTest, MissingFileOrUnfitPathChangesNothingAndCallsNothing) {
  g_state.applied_equalizer[2] = 40;
  LoadEqualizerPreset("Q:\\prog");
  LoadEqualizerPreset(std::string(600, 'a').c_str());
  EXPECT_EQ(g_state.applied_equalizer[2], 40);
  EXPECT_TRUE(fake::CallLog().empty());
  const int32_t flat[10] = {};
  EXPECT_FALSE(SaveEqualizerPreset("Q:\\no such folder", flat));
  EXPECT_FALSE(SaveEqualizerPreset("R:", flat));  // a CD drive without a medium
}

// A pipe of the preset's name would wait for a writer for ever at start-up; it is no preset, and
// a save leaves it alone.
TEST_F(EqualizerPresetTest, APipeNamedLikeThePresetIsNeitherReadNorReplaced) {
  const std::string pipe = PresetFile().toStdString();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  g_state.applied_equalizer[0] = 30;
  LoadEqualizerPreset("Q:\\prog");
  EXPECT_EQ(g_state.applied_equalizer[0], 30);
  EXPECT_TRUE(fake::CallLog().empty());
  const int32_t flat[10] = {};
  EXPECT_FALSE(SaveEqualizerPreset("Q:\\prog", flat));
  struct stat st;
  ASSERT_EQ(stat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(EqualizerPresetTest, SavesFortyLittleEndianBytesOverAnyOldFile) {
  drives_.WriteFile(PresetFile().toStdString(), std::string(100, '\x55'));
  const int32_t setting[10] = {120, 0, -120, 15, 5000, 0, 0, 0, 0, -10};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\prog", setting));
  QByteArray expected(40, '\0');
  expected.replace(0, 4, Bytes({0x78, 0, 0, 0}));
  expected.replace(8, 4, Bytes({0x88, 0xFF, 0xFF, 0xFF}));
  expected.replace(12, 4, Bytes({0x0F, 0, 0, 0}));
  expected.replace(16, 4, Bytes({0x88, 0x13, 0, 0}));
  expected.replace(36, 4, Bytes({0xF6, 0xFF, 0xFF, 0xFF}));
  QFile file(PresetFile());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), expected);

  LoadEqualizerPreset("Q:\\prog");
  EXPECT_EQ(Applied(), std::vector<int32_t>(setting, setting + 10));
}

// The preset is written whole or not at all: on a full disk the old setting survives.
TEST_F(EqualizerPresetTest, SavingOnAFullDiskKeepsTheOldPreset) {
  test::SmallTmpfs disk;
  if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const QByteArray old(40, '\x11');
  const QString preset = QString::fromStdString(disk.path()) + "/VELDANEQ.DEF";
  drives_.WriteFile(preset.toStdString(), old.toStdString());
  disk.Fill();
  char folder[kTextSize];
  ASSERT_TRUE(HostPathToProgram(disk.path(), folder, sizeof folder));
  const int32_t setting[10] = {120, 0, -120, 15, 5000, 0, 0, 0, 0, -10};
  EXPECT_FALSE(SaveEqualizerPreset(folder, setting));
  QFile file(preset);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), old);
}
// An installed copy (usr/bin with share/veldan/VELDAN.HLP beside it) keeps the preset in the
// An installed copy (Q:\\usr\\bin with share/veldan/VELDAN.HLP beside it) keeps the preset in the
// user's config folder; a portable one beside itself.
class InstalledPresetTest : public EqualizerPresetTest {
 protected:
  void SetUp() override {
    EqualizerPresetTest::SetUp();
    drives_.WriteFile(drives_.Q("usr/share/veldan/VELDAN.HLP"));
    drives_.MakeFolder(drives_.Q("usr/bin"));
    setenv("XDG_CONFIG_HOME", drives_.Q("config").c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
  QString ConfigPreset() const {
    return QString::fromStdString(drives_.Q("config/VELDAN/VELDANEQ.DEF"));
  }
};

TEST_F(InstalledPresetTest, AReadOnlyInstallSavesToTheConfigFolderAndLoadsItBack) {
  const QByteArray shipped = Bytes({7, 0, 0, 0});
  drives_.WriteFile(drives_.Q("usr/bin/VELDANEQ.DEF"), shipped.toStdString());
  chmod(drives_.Q("usr/bin").c_str(), 0555);

  // Nothing saved yet: the setting shipped beside the program.
  LoadEqualizerPreset("Q:\\usr\\bin");
  EXPECT_EQ(g_state.applied_equalizer[0], 7);

  const int32_t setting[10] = {120, 0, -120, 15, 5000, 0, 0, 0, 0, -10};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\usr\\bin", setting));
  chmod(drives_.Q("usr/bin").c_str(), 0755);
  EXPECT_TRUE(QFileInfo::exists(ConfigPreset()));
  QFile beside(QString::fromStdString(drives_.Q("usr/bin/VELDANEQ.DEF")));
  ASSERT_TRUE(beside.open(QIODevice::ReadOnly));
  EXPECT_EQ(beside.readAll(), shipped);

  std::fill_n(g_state.applied_equalizer, kEqualizerBands, 0);
  LoadEqualizerPreset("Q:\\usr\\bin");
  EXPECT_EQ(Applied(), std::vector<int32_t>(setting, setting + 10));
}

TEST_F(InstalledPresetTest, AWritablePortableFolderKeepsThePresetBesideTheProgram) {
  const int32_t setting[10] = {30, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\prog", setting));
  EXPECT_TRUE(QFileInfo::exists(PresetFile()));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(drives_.Q("config"))));
}

TEST_F(InstalledPresetTest, AnUnwritableConfigFolderSavesNothing) {
  drives_.WriteFile(drives_.Q("config"));  // a file where the folder would go
  const int32_t setting[10] = {30, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(SaveEqualizerPreset("Q:\\usr\\bin", setting));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(drives_.Q("usr/bin/VELDANEQ.DEF"))));
}

}  // namespace
}  // namespace veldan
