#pragma once

#include <QCheckBox>

namespace norvale {

// A check box that code may set greyed (Qt::PartiallyChecked) while a click only ever ticks or
// clears it; a click on a greyed box ticks it.
class ThreeStateCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override;
};

}  // namespace norvale
