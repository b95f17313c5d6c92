#include "standins/wireguard/tunnel_name.h"

namespace {

constexpr size_t kMaxTunnelNameLength = 32;
constexpr std::wstring_view kConfigEnding = L".conf";

bool IsNameCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
         (c >= L'0' && c <= L'9') || c == L'_' || c == L'=' || c == L'+' ||
         c == L'.' || c == L'-';
}

wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

bool IsValidTunnelName(std::wstring_view name) {
  if (name.empty() || name.size() > kMaxTunnelNameLength) return false;
  for (wchar_t c : name) {
    if (!IsNameCharacter(c)) return false;
  }
  return true;
}

bool TunnelNameFromConfigPath(std::wstring_view config_path,
                              std::wstring* name) {
  if (config_path.size() < kConfigEnding.size()) return false;
  const std::wstring_view ending =
      config_path.substr(config_path.size() - kConfigEnding.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    if (AsciiLower(ending[i]) != kConfigEnding[i]) return false;
  }
  const std::wstring_view stem =
      config_path.substr(0, config_path.size() - kConfigEnding.size());
  const size_t separator = stem.find_last_of(L"\\/");
  *name = std::wstring(
      separator == std::wstring_view::npos ? stem : stem.substr(separator + 1));
  return true;
}

std::string NarrowTunnelName(std::wstring_view name) {
  std::string narrow;
  narrow.reserve(name.size());
  for (wchar_t c : name) narrow.push_back(static_cast<char>(c & 0x7F));
  return narrow;
}
