// Row painting shared by the folder list and the file list: a fixed row height and an indent
// per level, which plain list widgets do not offer. User-interface thread only.
#pragma once

#include <QStyledItemDelegate>

namespace veldan {

// Item data role holding an item's indent level (int, 0 when unset).
inline constexpr int kIndentLevelRole = Qt::UserRole + 1;

class ListRowDelegate : public QStyledItemDelegate {
 public:
  ListRowDelegate(int row_height, int indent_step, QObject* parent);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int row_height_;
  int indent_step_;
};

}  // namespace veldan
