#pragma once

#include <string>
#include <vector>

#include "handheld/module_id_box.h"

class QComboBox;

namespace norvale {

// The ID box SortList: its entries and its editable text.
class ComboModuleIdBox : public ModuleIdBox {
 public:
  explicit ComboModuleIdBox(QComboBox* box) : box_(box) {}
  std::vector<std::string> entries() const override;
  void addEntry(const std::string& entry) override;
  std::string text() const override;

 private:
  QComboBox* box_;
};

}  // namespace norvale
