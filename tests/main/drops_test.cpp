// Drops on the main window, sent as a file manager's drag would send them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "main/main_window_fixture.h"

namespace veldan::testing {
namespace {

class DropsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "B/3.mp3"});
    window_->Timer1->start();
    fake::ClearCallLog();
  }
  QUrl Local(const char* relative) const {
    return QUrl::fromLocalFile(dir_->path() + "/" + relative);
  }
  // Drags data onto the window and drops it there; whether the window took the drop.
  bool Drop(QMimeData* data) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    entered_ = enter.isAccepted();
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    return drop.isAccepted();
  }
  bool DropUrls(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    return Drop(&data);
  }
  bool entered_ = false;
};

TEST_F(DropsTest, AFolderOrTrackPlaysAsTheFirstPathOnTheCommandLineWould) {
  CreateFile(dir_->path(), "C/x.mp3");
  CreateFile(dir_->path(), "C/y.mp3");
  // Of several files the first decides; the others are passed over.
  EXPECT_TRUE(DropUrls({Local("C/y.mp3"), Local("A/1.mp3")}));
  EXPECT_TRUE(entered_);
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(LastOpened(), Entry(1));
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("C]")));

  EXPECT_TRUE(DropUrls({Local("B")}));
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(LastOpened(), Entry(0));
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("B]")));
}

TEST_F(DropsTest, AnythingButAFileOrFolderHereIsRefusedAndChangesNothing) {
  QMimeData text;
  text.setText(dir_->path() + "/B");
  EXPECT_FALSE(Drop(&text));
  EXPECT_FALSE(entered_);
  CreateFile(dir_->path(), "notes.txt");
  for (const QList<QUrl>& urls :
       {QList<QUrl>{QUrl(QStringLiteral("https://example.com/a.mp3")), Local("B")},
        QList<QUrl>{Local("gone.mp3")}, QList<QUrl>{}, QList<QUrl>{Local("notes.txt")},
        QList<QUrl>{QUrl(QStringLiteral("file:///dev/zero"))}}) {
    EXPECT_FALSE(DropUrls(urls));
    EXPECT_FALSE(entered_);
  }
  EXPECT_TRUE(fake::DecoderCalls().empty());
  EXPECT_EQ(g_state.catalogue.count, 3);
  EXPECT_FALSE(g_state.continuous_play);
}

TEST_F(DropsTest, RefusedWhileADialogIsOpenOrASearchHasThePollStopped) {
  QDialog dialog(window_.get());
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_FALSE(DropUrls({Local("B")}));
    EXPECT_FALSE(entered_);
    dialog.reject();
  });
  dialog.exec();
  window_->Timer1->stop();
  EXPECT_FALSE(DropUrls({Local("B")}));
  EXPECT_TRUE(fake::DecoderCalls().empty());
  EXPECT_EQ(g_state.catalogue.count, 3);
}

}  // namespace
}  // namespace veldan::testing
