// The tunnels that the stand-in wireguard.exe has installed, kept as files
// in the state folder:
//   tunnels\<name>.conf   a copy of the configuration it was installed from
//   tunnels\<name>.state  "<install time, Unix seconds> <dump calls>" CR LF
// Only valid tunnel names (IsValidTunnelName) ever reach a path; every
// operation refuses any other name.
#ifndef KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_STORE_H_
#define KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_STORE_H_

#include <cstdint>
#include <string>
#include <string_view>

// Larger configuration files are refused.
constexpr size_t kMaxConfigBytes = 256 * 1024;

class TunnelStore {
 public:
  struct Tunnel {
    std::string config;
    int64_t installed_at = 0;  // Unix seconds
    uint64_t dump_calls = 0;   // "show <name> dump" calls since install
  };

  enum class InstallResult { kInstalled, kAlreadyInstalled, kFailed };

  explicit TunnelStore(const std::wstring& state_folder);

  // Records the tunnel (creating the folders as needed) with no dump calls.
  InstallResult Install(const std::wstring& name, std::string_view config,
                        int64_t now);
  // False when no tunnel of that name is installed.
  bool Uninstall(const std::wstring& name);
  // False when no tunnel of that name is installed. A missing or damaged
  // state file reads as install time 0 and no dump calls.
  bool Load(const std::wstring& name, Tunnel* tunnel) const;
  // Stores tunnel.dump_calls (and the install time) for the tunnel.
  bool SaveCounters(const std::wstring& name, const Tunnel& tunnel);

 private:
  std::wstring PathOf(const std::wstring& name, const wchar_t* ending) const;

  std::wstring tunnels_folder_;
};

#endif  // KEELHAVEN_STANDINS_WIREGUARD_TUNNEL_STORE_H_
