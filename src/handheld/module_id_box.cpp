#include "handheld/module_id_box.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "text/leading_number.h"

namespace norvale {
namespace {

// The entry's whole text as a whole number, blanks around it allowed; nothing otherwise.
std::optional<int> EntryNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

int SelectedModuleId(const ModuleIdBox& box) {
  std::optional<int16_t> id = ToInt16HalfEven(LeadingNumberValue(box.text()));
  return id ? *id : -1;
}

ModuleIdCollector::ModuleIdCollector(ModuleIdBox& box) : box_(box) {
  for (const std::string& entry : box_.entries()) {
    if (std::optional<int> number = EntryNumber(entry)) listed_.insert(*number);
  }
}

void ModuleIdCollector::note(int moduleId) {
  if (!listed_.insert(moduleId).second) return;
  box_.addEntry(std::to_string(moduleId));
}

}  // namespace norvale
