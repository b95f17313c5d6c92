// The configuration folder of this run: taken once (tunnel/folder_trust.h)
// and held for as long as the process works in it, so that the key file,
// its read-back and deletion, the start-up clean-up and the log file are
// all reached relative to the one folder that was checked.
#ifndef KEELHAVEN_TUNNEL_CONFIG_FOLDER_H_
#define KEELHAVEN_TUNNEL_CONFIG_FOLDER_H_

#include <memory>
#include <string>

#include "tunnel/config_location.h"
#include "util/held_folder.h"

// GetConfigDirectory's folder, taken with TakeTrustedFolder on the first
// call and the same held folder on every later one. Null when no folder is
// defined, or after the "ERROR: " line of a refusal; then nothing may be
// written, and the next call tries again.
std::shared_ptr<const HeldFolder> HoldConfigFolder();

#endif  // KEELHAVEN_TUNNEL_CONFIG_FOLDER_H_
