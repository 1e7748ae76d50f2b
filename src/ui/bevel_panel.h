// A panel with an outer and an inner bevel, one pixel each, filled with its face colour.
//
// Children are placed in the panel's own coordinates, bevels included, so designed positions are
// taken as they are. User-interface thread only.
#pragma once

#include <QColor>
#include <QWidget>

namespace veldan {

enum class Bevel { kNone, kLowered, kRaised };

class BevelPanel : public QWidget {
 public:
  BevelPanel(QWidget* parent, Bevel outer, Bevel inner, const QColor& face);

  Bevel OuterBevel() const { return outer_; }
  Bevel InnerBevel() const { return inner_; }
  QColor Face() const { return face_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Bevel outer_;
  Bevel inner_;
  QColor face_;
};

}  // namespace veldan
