#include "app/controls/three_state_check_box.h"

namespace norvale {

void ThreeStateCheckBox::nextCheckState() {
  setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

}  // namespace norvale
