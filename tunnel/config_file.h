// The tunnel's WireGuard configuration file: where it lives, how it is
// written from a request's values and deleted again.
#ifndef KEELHAVEN_TUNNEL_CONFIG_FILE_H_
#define KEELHAVEN_TUNNEL_CONFIG_FILE_H_

#include <functional>
#include <memory>
#include <string>

#include "tunnel/config_location.h"
#include "tunnel/request_reader.h"
#include "util/held_folder.h"

// Gives the configuration folder, held (HoldConfigFolder by default), or
// null after the "ERROR: " line of a refusal.
using ConfigFolderSource = std::function<std::shared_ptr<const HeldFolder>()>;

// A written configuration file: the held folder it lies in, through which
// it is read and deleted, and its full path, for log lines and WireGuard's
// command line. Both empty when there is none.
struct WrittenConfig {
  std::shared_ptr<const HeldFolder> folder;
  std::wstring path;
};

// Writes the tunnel's configuration file from the request's values, each
// trimmed and the empty ones given their defaults, into the folder
// `hold_folder` gives (asked once, after the summary), relative to its
// handle, and reads it back the same way. Gives the file, or an empty one
// on any failure: a failed write leaves no file behind, and a refused
// folder has nothing written, deleted or moved in it or behind it. An
// empty `directory` (no folder can be had) fails first, with a log line of
// its own.
WrittenConfig WriteTunnelConfig(const std::wstring& directory,
                                const ConfigFolderSource& hold_folder,
                                const TunnelParameters& request);

// Deletes the file `config` names (when set) relative to its held folder,
// logs the outcome and empties it.
void DeleteTunnelConfig(WrittenConfig& config);

#endif  // KEELHAVEN_TUNNEL_CONFIG_FILE_H_
