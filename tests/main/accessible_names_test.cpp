// What assistive technology reads of the main window: English names without layout blanks on
// every control, and the seek bar as a slider over the track.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QPushButton>

#include "main/main_window_fixture.h"
#include "main/seek_bar.h"

namespace veldan::testing {
namespace {

class AccessibleNamesTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "B/2.mp3"});
  }
};

TEST_F(AccessibleNamesTest, EveryControlHasATrimmedEnglishNameAndTheAlbumButtonsFollowTheLock) {
  for (QWidget* control : window_->findChildren<QAbstractButton*>()) {
    const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    EXPECT_FALSE(name.isEmpty()) << control->objectName().toStdString();
    EXPECT_EQ(name, name.trimmed()) << name.toStdString();
    for (QChar c : name) EXPECT_LT(c.unicode(), 128) << name.toStdString();
  }
  auto name_of = [](QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).toStdString();
  };
  EXPECT_EQ(name_of(window_->BitBtn_play), "Play");
  EXPECT_EQ(name_of(window_->BitBtn_pre_album), "Previous album");
  window_->CheckBox_album_lock->setChecked(true);
  EXPECT_EQ(name_of(window_->BitBtn_pre_album), "First file");
  EXPECT_EQ(name_of(window_->BitBtn_next_album), "Last file");
}

TEST_F(AccessibleNamesTest, SeekBarIsASliderOverTheTrackThatSeeksWhenSet) {
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window_->Image_time_locate);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->role(), QAccessible::Slider);
  EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("Position"));
  QAccessibleValueInterface* value = bar->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toInt(), 0);

  PlayTrackAt(100, 10);
  EXPECT_EQ(value->currentValue().toInt(), 10);
  EXPECT_EQ(value->maximumValue().toInt(), 100);
  EXPECT_EQ(bar->text(QAccessible::Value), QStringLiteral("0:00:10 of 0:01:40"));
  value->setCurrentValue(42);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 42", "restart"}));
  fake::SetDecoderPosition(42);
  fake::ClearCallLog();
  bar->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"seek 47", "restart"}));
}

}  // namespace
}  // namespace veldan::testing
