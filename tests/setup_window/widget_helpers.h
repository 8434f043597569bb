// Helpers for driving widgets in the setup window's tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTableWidget>
#include <QTest>
#include <QWidget>

namespace window_testing {

// The child of `parent` with that object name; fails the test when there is
// none.
template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << "no child named " << name;
  return child;
}

// Clicks an enabled button found by object name.
inline void Click(QWidget& parent, const char* name) {
  QAbstractButton* button = Child<QAbstractButton>(parent, name);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled()) << name << " is disabled";
  QTest::mouseClick(button, Qt::LeftButton);
}

// Runs what the widgets queued: item delegates commit typed text through a
// queued call and delete closed editors later.
inline void Settle() {
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Clicks a check box or option button on its indicator (a click in the
// middle of a wide one falls beside its text and does nothing).
inline void ClickIndicator(QAbstractButton* button) {
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Opens a table cell's editor, replaces its text by typing and commits with
// Return, as an administrator would.
inline void TypeIntoCell(QTableWidget* table, int row, int column, const QString& text) {
  ASSERT_NE(table->item(row, column), nullptr);
  const auto openEditor = [table]() -> QLineEdit* {
    for (QLineEdit* candidate : table->viewport()->findChildren<QLineEdit*>()) {
      if (candidate->isVisible()) return candidate;
    }
    return nullptr;
  };
  // A row just added opens its first cell for typing by itself.
  QLineEdit* editor = openEditor();
  if (editor == nullptr || table->currentRow() != row || table->currentColumn() != column) {
    if (editor != nullptr) QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    table->setCurrentCell(row, column);
    table->editItem(table->item(row, column));
    editor = openEditor();
  }
  ASSERT_NE(editor, nullptr) << "no cell editor opened";
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
}

}  // namespace window_testing
