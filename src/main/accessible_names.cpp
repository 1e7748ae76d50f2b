// What assistive technology is told about the main window: an English name for every control
// (the captions carry layout blanks, the hints are Japanese), and the seek bar as a slider whose
// value is the playing position within the track's length.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "main/main_window.h"
#include "main/seek_bar.h"
#include "main/time_text.h"

namespace veldan {
namespace {

QString Trimmed(const std::string& text) {
  return QString::fromStdString(text).trimmed();
}

// The seek bar as a slider: its value is the position in seconds, its maximum the length, and
// setting the value or the increase and decrease actions seek as the seek keys do.
class SeekBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SeekBarAccessible(QWidget* bar)
      : QAccessibleWidget(bar, QAccessible::Slider, QStringLiteral("Position")) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name) return QStringLiteral("Position");
    if (kind == QAccessible::Value) {
      const TForm_main* window = Window();
      if (window == nullptr) return {};
      const int32_t length = window->Controller().TrackInfo().length;
      QString value = Trimmed(TimeText(window->Controller().PlayingPosition()));
      if (length > 0) value += QStringLiteral(" of ") + Trimmed(TimeText(length));
      return value;
    }
    if (kind == QAccessible::Description) {
      return QStringLiteral("Moves the playing position during Play or Pause");
    }
    return QAccessibleWidget::text(kind);
  }

  QVariant currentValue() const override {
    const TForm_main* window = Window();
    return window != nullptr ? window->Controller().PlayingPosition() : 0;
  }
  void setCurrentValue(const QVariant& value) override {
    if (TForm_main* window = Window()) window->Controller().SeekTo(value.toInt());
  }
  QVariant maximumValue() const override {
    const TForm_main* window = Window();
    return window != nullptr ? std::max(window->Controller().TrackInfo().length, 0) : 0;
  }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return kSeekStepSeconds; }

  QStringList actionNames() const override { return {increaseAction(), decreaseAction()}; }
  void doAction(const QString& name) override {
    TForm_main* window = Window();
    if (window == nullptr) return;
    if (name == increaseAction())
      window->Controller().SeekTo(window->Controller().PlayingPosition() + kSeekStepSeconds);
    if (name == decreaseAction())
      window->Controller().SeekTo(window->Controller().PlayingPosition() - kSeekStepSeconds);
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    if (name == increaseAction()) return {QStringLiteral("Right")};
    if (name == decreaseAction()) return {QStringLiteral("Left")};
    return {};
  }

 private:
  TForm_main* Window() const { return qobject_cast<TForm_main*>(widget()->window()); }
};

QAccessibleInterface* SeekBarFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String(SeekBarImage::staticMetaObject.className()) &&
      object->isWidgetType()) {
    return new SeekBarAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

void Describe(QWidget* control, const char* name, const char* description) {
  control->setAccessibleName(QString::fromLatin1(name));
  control->setAccessibleDescription(QString::fromLatin1(description));
}

}  // namespace

void TForm_main::NameControls() {
  QAccessible::installFactory(SeekBarFactory);
  setAccessibleName(QStringLiteral("VELDAN"));

  // Display labels keep their text as their name; they are described.
  Label_time->setAccessibleDescription(QStringLiteral("Playing time"));
  Label_total_time->setAccessibleDescription(QStringLiteral("Length of the current track"));
  Label_status->setAccessibleDescription(QStringLiteral("State and playing bit rate"));
  Label_stereo->setAccessibleDescription(QStringLiteral("Mode and sampling frequency"));
  Label_album->setAccessibleDescription(QStringLiteral("Folder name or artist"));
  Label_song->setAccessibleDescription(QStringLiteral("File name or song title"));

  Describe(BitBtn_auto_cd, "Auto CD", "Finds a disc and plays it");
  Describe(BitBtn_options, "Option", "Choose the play folder and set the equalizer");
  Describe(BitBtn_sel, "Select", "Pick a track from the list");
  Describe(CheckBox_album_lock, "Album lock", "Stay in the current folder");
  Describe(CheckBox_repeat, "Repeat", "Repeat the current file");
  Describe(CheckBox_random, "Random", "Play in random order");
  Describe(BitBtn_pre_file, "Previous file", "Previous file");
  Describe(BitBtn_stop, "Stop", "Stop");
  Describe(BitBtn_pause, "Pause", "Pause; the playing position can still be set");
  Describe(BitBtn_play, "Play", "Play");
  Describe(BitBtn_next_file, "Next file", "Next file");

  // The album buttons read TopFile and LastFile under the album lock; their names follow.
  const auto name_album_buttons = [this] {
    if (CheckBox_album_lock->isChecked()) {
      Describe(BitBtn_pre_album, "First file", "First file of the current folder");
      Describe(BitBtn_next_album, "Last file", "Last file of the current folder");
    } else {
      Describe(BitBtn_pre_album, "Previous album", "First file of the previous folder");
      Describe(BitBtn_next_album, "Next album", "First file of the next folder");
    }
  };
  name_album_buttons();
  connect(CheckBox_album_lock, &QCheckBox::toggled, this, name_album_buttons);
}

}  // namespace veldan
