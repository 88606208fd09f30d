#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace norvale {

// pattern with %Y %m %d %H %M %S replaced from time (two digits but the year) and %% by "%".
// Nothing when the pattern holds any other "%" sequence, so a typo cannot name a file oddly.
std::optional<std::string> ExpandDatedName(const std::string& pattern, const std::tm& time);

// name itself when `taken` says it is free, else the first free of name-2, name-3, ... (the
// number goes before the extension), so a scheduled run never overwrites an earlier one.
std::string FirstFreeName(const std::string& name,
                          const std::function<bool(const std::string&)>& taken);

}  // namespace norvale
