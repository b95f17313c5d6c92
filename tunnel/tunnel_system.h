// The operating-system seam of the tunnel code. Tests replace parts of it
// (a temporary configuration folder, other install folders, a sleeper that
// records instead of waiting, a service manager of their own); the
// defaults are the product's.
#ifndef KEELHAVEN_TUNNEL_TUNNEL_SYSTEM_H_
#define KEELHAVEN_TUNNEL_TUNNEL_SYSTEM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tunnel/service_manager.h"
#include "util/command_runner.h"
#include "util/held_folder.h"

struct TunnelSystem {
  TunnelSystem();

  // Folders searched for wireguard.exe and wg.exe, in order, before the
  // standard search path. By default <Program Files>\WireGuard and
  // <Program Files (x86)>\WireGuard as Windows reports them.
  std::vector<std::wstring> wireguard_folders;
  // Gives the configuration folder's path; an empty string when no folder
  // can be had (the write then fails with a line of its own).
  std::function<std::wstring()> config_directory;
  // Gives that folder, taken and held (tunnel/config_folder.h), or null
  // after the "ERROR: " line of a refusal. Every file in it is reached
  // relative to the folder's handle.
  std::function<std::shared_ptr<const HeldFolder>()> config_folder;
  // Runs one command line; same contract as RunCommand.
  std::function<int32_t(const std::wstring& command_line, std::string* output,
                        uint32_t timeout_ms, const RunOptions& options)>
      run_command;
  // Blocks the thread for the given milliseconds.
  std::function<void(uint32_t milliseconds)> sleep;
  // The state of the tunnel's service (tunnel/service_manager.h).
  std::function<ServiceState()> tunnel_service_state;
  // Stops and deletes the tunnel's service through the service manager
  // itself, starting no program, within about `budget_ms`; logs each step.
  // True when the service is gone or marked for deletion.
  std::function<bool(uint32_t budget_ms)> remove_tunnel_service;
};

#endif  // KEELHAVEN_TUNNEL_TUNNEL_SYSTEM_H_
