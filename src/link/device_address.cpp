#include "link/device_address.h"

#include <charconv>
#include <cstddef>

namespace norvale {
namespace {

struct Scheme {
  std::string_view prefix;
  DeviceKind kind;
};

constexpr Scheme kSchemes[] = {
    {"tcp://", DeviceKind::RawTcp},
    {"rfc2217://", DeviceKind::Rfc2217},
};

constexpr std::string_view kSpace = " \t\r\n\v\f";

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

const Scheme* schemeOf(std::string_view text) {
  for (const Scheme& scheme : kSchemes) {
    if (startsWithNoCase(text, scheme.prefix)) return &scheme;
  }
  return nullptr;
}

// The part after the scheme: HOST:PORT or [HOST]:PORT. Returns the error text, empty when good.
std::string parseHostAndPort(std::string_view rest, DeviceAddress& address) {
  std::string_view afterHost;
  if (rest.starts_with('[')) {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return "unclosed '[' in host";
    address.host = rest.substr(1, close - 1);
    afterHost = rest.substr(close + 1);
  } else {
    const size_t hostEnd = rest.find_first_of(":/");
    const std::string_view authority = rest.substr(0, rest.find('/'));
    if (authority.find(':') != authority.rfind(':')) {
      return "an IPv6 address must be in brackets, as in [::1]:4001";
    }
    address.host = rest.substr(0, hostEnd);
    if (hostEnd != std::string_view::npos) afterHost = rest.substr(hostEnd);
  }
  if (address.host.empty()) return "missing host";
  if (afterHost.empty() || afterHost.starts_with('/')) return "missing port";
  if (!afterHost.starts_with(':')) return "unexpected text after the host";

  const std::string_view portText = afterHost.substr(1);
  if (portText.empty()) return "missing port";
  unsigned long value = 0;
  const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
  if (ec == std::errc::invalid_argument) return "port must be a number";
  if (ec == std::errc::result_out_of_range || value == 0 || value > 65535) {
    return "port must be 1..65535";
  }
  if (end != portText.data() + portText.size()) return "unexpected text after the port";
  address.port = static_cast<uint16_t>(value);
  return {};
}

}  // namespace

DeviceAddress ParseDeviceAddress(std::string_view text) {
  text = trimmed(text);
  const Scheme* scheme = schemeOf(text);
  if (scheme == nullptr) return {};
  DeviceAddress address;
  address.kind = scheme->kind;
  address.error = parseHostAndPort(text.substr(scheme->prefix.size()), address);
  return address;
}

bool IsNetworkAddress(std::string_view text) { return schemeOf(trimmed(text)) != nullptr; }

}  // namespace norvale
