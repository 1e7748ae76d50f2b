#include "ui/check_box_metrics.h"

#include <QCheckBox>
#include <QProxyStyle>

namespace veldan {
namespace {

class ClassicCheckBoxStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    switch (metric) {
      case PM_IndicatorWidth:
      case PM_IndicatorHeight:
        return 13;
      case PM_CheckBoxLabelSpacing:
        return 3;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

}  // namespace

void UseClassicCheckBoxMetrics(QCheckBox* box) {
  auto* style = new ClassicCheckBoxStyle;
  style->setParent(box);
  box->setStyle(style);
}

}  // namespace veldan
