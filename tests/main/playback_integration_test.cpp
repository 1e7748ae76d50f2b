// The main window over the real decoder library: a track plays through to its end and the status
// poll moves play on to the next one by itself.
#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "main/main_window.h"
#include "platform/paths.h"

namespace veldan {
namespace {

TEST(PlaybackIntegrationTest, TrackPlaysThroughAndTheNextFollows) {
  const char* fixtures = std::getenv("VELDAN_FIXTURES");
  if (fixtures == nullptr) fixtures = VELDAN_FIXTURES_DIR;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // Two one-second tracks of one album.
  ASSERT_TRUE(QFile::copy(QString(fixtures) + "/short.mp3", dir.path() + "/1.mp3"));
  ASSERT_TRUE(QFile::copy(QString(fixtures) + "/untagged.mp3", dir.path() + "/2.mp3"));

  ResetProgramState();
  vbmp3_init();
  {
    TForm_main window;
    ASSERT_TRUE(HostPathToProgram(dir.path().toStdString(), g_state.starting_folder, kTextSize));
    BuildCatalogue(g_state.starting_folder);
    ASSERT_EQ(g_state.catalogue.count, 2);
    window.ShowTrackTitles();
    window.Controller().StartPlayback();
    EXPECT_TRUE(window.Label_status->text().startsWith("Play "));
    EXPECT_EQ(window.Label_song->text(), "1-(1/2) ");

    // The poll runs on Timer1; wait, bounded, until it has moved on and sees the second track play.
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (g_state.catalogue.current == 1 && window.Controller().LastPolledState() == VBMP3_PLAYING) loop.quit();
    });
    watch.start(20);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();

    EXPECT_EQ(g_state.catalogue.current, 1);
    EXPECT_EQ(window.Controller().LastPolledState(), VBMP3_PLAYING);
    EXPECT_EQ(window.Label_song->text(), "2-(2/2) ");
    EXPECT_TRUE(window.Label_status->text().startsWith("Play "));
    EXPECT_TRUE(g_state.continuous_play);
    window.BitBtn_stopClick();
  }
  vbmp3_free();
}

}  // namespace
}  // namespace veldan
