#include "records/fill_bytes.h"

namespace norvale {

std::string StripFillBytes(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 254) kept += c;
  }
  return kept;
}

}  // namespace norvale
