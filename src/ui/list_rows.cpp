#include "ui/list_rows.h"

namespace veldan {

ListRowDelegate::ListRowDelegate(int row_height, int indent_step, QObject* parent)
    : QStyledItemDelegate(parent), row_height_(row_height), indent_step_(indent_step) {}

void ListRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem indented = option;
  indented.rect.setLeft(option.rect.left() + indent_step_ * index.data(kIndentLevelRole).toInt());
  QStyledItemDelegate::paint(painter, indented, index);
}

QSize ListRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setWidth(size.width() + indent_step_ * index.data(kIndentLevelRole).toInt());
  size.setHeight(row_height_);
  return size;
}

}  // namespace veldan
