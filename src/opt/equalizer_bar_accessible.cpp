#include "opt/equalizer_bar_accessible.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QSlider>

#include "opt/equalizer_setting.h"

namespace veldan {
namespace {

constexpr const char* kBandNames[10] = {"60 Hz", "170 Hz", "310 Hz", "600 Hz", "1 kHz",
                                        "3 kHz", "6 kHz",  "12 kHz", "14 kHz", "16 kHz"};
constexpr char kMarker[] = "veldanEqualizerBar";

// One bar step is one decibel; the top of the bar (position 0) is +12 dB.
class EqualizerBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit EqualizerBarAccessible(QSlider* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) {
      const int decibels = Decibels();
      return (decibels > 0 ? QStringLiteral("+") : QString()) + QString::number(decibels) +
             QStringLiteral(" dB");
    }
    return QAccessibleWidget::text(kind);
  }

  QVariant currentValue() const override { return Decibels(); }
  void setCurrentValue(const QVariant& value) override {
    Bar()->setValue(kBarMiddle - value.toInt());
  }
  QVariant maximumValue() const override { return kBarMiddle - kBarTop; }
  QVariant minimumValue() const override { return kBarMiddle - kBarBottom; }
  QVariant minimumStepSize() const override { return 1; }

  QStringList actionNames() const override { return {increaseAction(), decreaseAction()}; }
  void doAction(const QString& name) override {
    if (name == increaseAction()) Bar()->setValue(Bar()->value() - 1);
    if (name == decreaseAction()) Bar()->setValue(Bar()->value() + 1);
  }

 private:
  QSlider* Bar() const { return static_cast<QSlider*>(widget()); }
  int Decibels() const { return kBarMiddle - Bar()->value(); }
};

QAccessibleInterface* EqualizerBarFactory(const QString& /*class_name*/, QObject* object) {
  auto* bar = qobject_cast<QSlider*>(object);
  if (bar == nullptr || !bar->property(kMarker).toBool()) return nullptr;
  return new EqualizerBarAccessible(bar);
}

}  // namespace

void MakeEqualizerBarAccessible(QSlider* bar, int band) {
  bar->setProperty(kMarker, true);
  QAccessible::installFactory(EqualizerBarFactory);
  // Setting up the bar has already asked for its interface and the plain slider's is kept;
  // dropped, the next question makes the decibel one.
  QAccessibleInterface* known = QAccessible::queryAccessibleInterface(bar);
  if (known != nullptr && dynamic_cast<EqualizerBarAccessible*>(known) == nullptr) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
  }
  bar->setAccessibleName(QString::fromLatin1(kBandNames[band]));
}

}  // namespace veldan
