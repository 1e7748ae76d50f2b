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

// Shows the dialog modally (through show when given, else exec) and runs steps inside its modal
// loop; returns what show returns.
inline int ExecWith(TForm_option& dialog, const std::function<void()>& steps,
                    const std::function<int()>& show = {}) {
  QTimer::singleShot(0, &dialog, steps);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] {
    ADD_FAILURE() << "the dialog did not close";
    if (dialog.TrialListening()) dialog.Button_testClick();
    g_state.closing = true;  // ends any media wait
    dialog.QDialog::done(kModalCancel);
  });
  watchdog.start(10000);
  return show ? show() : dialog.exec();
}

// Clicks away the message box that the next action opens; *seen gets "title|text|icon|buttons".
inline void DismissNextMessageBox(QString* seen) {
  QTimer::singleShot(0, [seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    *seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
    for (QAbstractButton* button : box->buttons()) *seen += "|" + button->text();
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
