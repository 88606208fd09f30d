#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace norvale {

// The ID box (a drop-down list with a text field): the module IDs found so far, in the order
// they were added, and the text the user picked or typed.
class ModuleIdBox {
 public:
  virtual ~ModuleIdBox() = default;
  virtual std::vector<std::string> entries() const = 0;
  virtual void addEntry(const std::string& entry) = 0;
  virtual std::string text() const = 0;
};

// The module ID the box's text selects: its leading number, rounded; -1 (no module) when the
// number does not fit, so nothing matches it.
int SelectedModuleId(const ModuleIdBox& box);

// Adds module IDs the box does not list yet, as plain decimal text. An entry counts as listing
// an ID when its whole text is that number.
class ModuleIdCollector {
 public:
  explicit ModuleIdCollector(ModuleIdBox& box);
  void note(int moduleId);

 private:
  ModuleIdBox& box_;
  std::set<int> listed_;
};

}  // namespace norvale
