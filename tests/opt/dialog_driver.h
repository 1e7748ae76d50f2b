// Driving the modal options dialog from a test: the steps run inside its modal loop, a watchdog
// turns a dialog that never closes into a failure, and message boxes are clicked away.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "catalogue/program_state.h"
#include "opt/options_dialog.h"

namespace veldan::test {

inline constexpr int kWatchdogMs = 10000;

// Shows the dialog modally and runs steps inside its modal loop; returns the modal result.
inline int ExecWith(TForm_option& dialog, const std::function<void()>& steps) {
  QTimer::singleShot(0, &dialog, steps);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] {
    ADD_FAILURE() << "the dialog did not close";
    if (dialog.TrialListening()) dialog.Button_testClick();
    g_state.closing = true;  // ends any media wait
    dialog.QDialog::done(kModalCancel);
  });
  watchdog.start(kWatchdogMs);
  return dialog.exec();
}

struct MessageBoxSeen {
  bool shown = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  QStringList buttons;
};

// Clicks away the message box that the next action opens, and records what it showed.
inline void DismissNextMessageBox(MessageBoxSeen* seen) {
  QTimer::singleShot(0, [seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      ADD_FAILURE() << "no message box";
      return;
    }
    seen->shown = true;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen->buttons << button->text();
    box->buttons().front()->click();
  });
}

inline void DoubleClickItem(QListWidget* list, const QString& text) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  const QPoint at = list->visualItemRect(found.front()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

inline QStringList ItemTexts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
  return texts;
}

}  // namespace veldan::test
