#include "app/controls/combo_module_id_box.h"

#include <QComboBox>

namespace norvale {

std::vector<std::string> ComboModuleIdBox::entries() const {
  std::vector<std::string> all;
  for (int i = 0; i < box_->count(); ++i) all.push_back(box_->itemText(i).toStdString());
  return all;
}

void ComboModuleIdBox::addEntry(const std::string& entry) {
  // Adding to an empty editable box would put the entry into its text as well.
  const QString text = box_->currentText();
  box_->addItem(QString::fromStdString(entry));
  box_->setEditText(text);
}

std::string ComboModuleIdBox::text() const { return box_->currentText().toStdString(); }

}  // namespace norvale
