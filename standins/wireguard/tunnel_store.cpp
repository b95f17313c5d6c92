#include "standins/wireguard/tunnel_store.h"

#include <cstdint>
#include <vector>

#include "standins/common/text.h"
#include "standins/wireguard/file_io.h"
#include "standins/wireguard/state_folder.h"
#include "standins/wireguard/tunnel_name.h"
#include "util/windows_include.h"

namespace {

constexpr wchar_t kConfigEnding[] = L".conf";
constexpr wchar_t kStateEnding[] = L".state";
constexpr size_t kMaxStateBytes = 256;
// Far beyond any test, far below overflow of the byte counters.
constexpr int64_t kMaxDumpCalls = 1LL << 40;

std::string StateText(int64_t installed_at, uint64_t dump_calls) {
  return std::to_string(installed_at) + " " + std::to_string(dump_calls) +
         "\r\n";
}

void ParseState(std::string_view text, TunnelStore::Tunnel* tunnel) {
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) return;
  const std::vector<std::string_view> words = SplitWords(lines[0]);
  int64_t installed_at = 0;
  int64_t dump_calls = 0;
  if (words.size() == 2 &&
      ParseInteger(words[0], 0, INT64_MAX, &installed_at) &&
      ParseInteger(words[1], 0, kMaxDumpCalls, &dump_calls)) {
    tunnel->installed_at = installed_at;
    tunnel->dump_calls = static_cast<uint64_t>(dump_calls);
  }
}

}  // namespace

TunnelStore::TunnelStore(const std::wstring& state_folder)
    : tunnels_folder_(TunnelsFolder(state_folder)) {}

std::wstring TunnelStore::PathOf(const std::wstring& name,
                                 const wchar_t* ending) const {
  return tunnels_folder_ + L"\\" + name + ending;
}

TunnelStore::InstallResult TunnelStore::Install(const std::wstring& name,
                                                std::string_view config,
                                                int64_t now) {
  if (!IsValidTunnelName(name) || !CreateFolderTree(tunnels_folder_)) {
    return InstallResult::kFailed;
  }
  // Creating the copy is the installation: a name that is taken fails here.
  const std::wstring config_path = PathOf(name, kConfigEnding);
  switch (WriteWholeFile(config_path, config, /*must_be_new=*/true)) {
    case WriteStatus::kOk:
      break;
    case WriteStatus::kExists:
      return InstallResult::kAlreadyInstalled;
    case WriteStatus::kFailed:
      return InstallResult::kFailed;
  }
  if (WriteWholeFile(PathOf(name, kStateEnding), StateText(now, 0),
                     /*must_be_new=*/false) != WriteStatus::kOk) {
    ::DeleteFileW(config_path.c_str());
    return InstallResult::kFailed;
  }
  return InstallResult::kInstalled;
}

bool TunnelStore::Uninstall(const std::wstring& name) {
  if (!IsValidTunnelName(name)) return false;
  if (!::DeleteFileW(PathOf(name, kConfigEnding).c_str())) return false;
  ::DeleteFileW(PathOf(name, kStateEnding).c_str());
  return true;
}

bool TunnelStore::Load(const std::wstring& name, Tunnel* tunnel) const {
  if (!IsValidTunnelName(name)) return false;
  Tunnel loaded;
  if (ReadSmallFile(PathOf(name, kConfigEnding), kMaxConfigBytes,
                    &loaded.config) != ReadStatus::kOk) {
    return false;
  }
  std::string state;
  if (ReadSmallFile(PathOf(name, kStateEnding), kMaxStateBytes, &state) ==
      ReadStatus::kOk) {
    ParseState(state, &loaded);
  }
  *tunnel = std::move(loaded);
  return true;
}

bool TunnelStore::SaveCounters(const std::wstring& name, const Tunnel& tunnel) {
  if (!IsValidTunnelName(name)) return false;
  return WriteWholeFile(PathOf(name, kStateEnding),
                        StateText(tunnel.installed_at, tunnel.dump_calls),
                        /*must_be_new=*/false) == WriteStatus::kOk;
}
