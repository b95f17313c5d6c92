#include "tunnel/config_folder.h"

#include <memory>
#include <mutex>
#include <string>

#include "tunnel/config_location.h"
#include "tunnel/folder_trust.h"

std::shared_ptr<const HeldFolder> HoldConfigFolder() {
  // Never destroyed: a line may be logged into the folder while static
  // objects go.
  static std::mutex* const mutex = new std::mutex();
  static auto* const held = new std::shared_ptr<const HeldFolder>();
  const std::lock_guard<std::mutex> lock(*mutex);
  if (*held) return *held;
  const std::wstring folder = GetConfigDirectory();
  if (folder.empty()) return nullptr;
  auto taken = std::make_shared<const HeldFolder>(
      TakeTrustedFolder(folder, OriginOf(folder)));
  if (!taken->valid()) return nullptr;
  *held = taken;
  return taken;
}
