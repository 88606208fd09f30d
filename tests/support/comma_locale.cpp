#include "support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace norvale::testing {
namespace {

namespace fs = std::filesystem;

// Only the numbers differ from the C locale; the rest is copied.
constexpr const char* kDefinition = R"(LC_CTYPE
copy "POSIX"
END LC_CTYPE
LC_COLLATE
copy "POSIX"
END LC_COLLATE
LC_NUMERIC
decimal_point ","
thousands_sep "."
grouping 3;3
END LC_NUMERIC
)";

CommaLocale Make() {
  CommaLocale locale;
  locale.name = "de_DE.UTF-8";
  std::string pattern = (fs::temp_directory_path() / "norvale_locale_XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    locale.skipReason = "no temporary folder for the comma-decimal locale";
    return locale;
  }
  locale.folder = pattern;
  const fs::path definition = fs::path(pattern) / "comma.def";
  std::ofstream(definition) << kDefinition;
  // -c: the definition leaves the other categories out on purpose, which localedef warns about.
  const std::string command = "localedef -c -i '" + definition.string() + "' -f UTF-8 '" +
                              (fs::path(pattern) / locale.name).string() + "' >/dev/null 2>&1";
  [[maybe_unused]] int status = std::system(command.c_str());
  std::error_code error;
  if (!fs::exists(fs::path(pattern) / locale.name / "LC_NUMERIC", error)) {
    locale.skipReason = "localedef could not make a comma-decimal locale (is it installed?)";
  }
  return locale;
}

struct Made {
  CommaLocale locale = Make();
  ~Made() {
    std::error_code error;
    if (!locale.folder.empty()) fs::remove_all(locale.folder, error);
  }
};

}  // namespace

const CommaLocale& CommaDecimalLocale() {
  static Made made;
  return made.locale;
}

ScopedCommaLocale::ScopedCommaLocale() {
  const CommaLocale& locale = CommaDecimalLocale();
  if (!locale.skipReason.empty()) return;
  ::setenv("LOCPATH", locale.folder.c_str(), 1);
  active_ = std::setlocale(LC_ALL, locale.name.c_str()) != nullptr &&
            std::localeconv()->decimal_point == std::string(",");
}

ScopedCommaLocale::~ScopedCommaLocale() {
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace norvale::testing
