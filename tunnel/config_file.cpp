#include "tunnel/config_file.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tunnel/config_security.h"
#include "util/native_log.h"
#include "util/relative_file.h"
#include "util/unique_handle.h"
#include "util/windows_include.h"
// After windows.h:

namespace {

constexpr char kDefaultAddress[] = "10.8.0.2/24";
constexpr char kDefaultAllowedIps[] = "0.0.0.0/0, ::/0";
constexpr char kLineEnd[] = "\r\n";

// Files larger than this are not read back for the section check.
constexpr DWORD kVerifyLimit = 8192;

TunnelParameters Trimmed(const TunnelParameters& request) {
  return {TrimWhitespace(request.private_key),
          TrimWhitespace(request.public_key),
          TrimWhitespace(request.server_public_key),
          TrimWhitespace(request.endpoint),
          TrimWhitespace(request.allowed_ips),
          TrimWhitespace(request.dns),
          TrimWhitespace(request.address)};
}

// Applies the defaults in the order their warnings are logged.
void CompleteValues(TunnelParameters& values) {
  if (values.address.empty()) {
    values.address = kDefaultAddress;
    NativeLog(std::string(
                  "WARNING: No tunnel address \xE2\x80\x94 using fallback: ") +
              kDefaultAddress);
  } else if (values.address.find('/') == std::string::npos) {
    values.address += "/24";
  }
  if (values.dns.empty()) {
    values.dns = kDefaultDns;
    NativeLog("WARNING: No DNS, using Cloudflare defaults");
  }
  if (values.allowed_ips.empty()) values.allowed_ips = kDefaultAllowedIps;
}

std::string ComposeConfigText(const TunnelParameters& values) {
  std::string text;
  const auto line = [&text](const std::string& content) {
    text += content;
    text += kLineEnd;
  };
  line("[Interface]");
  line("PrivateKey = " + values.private_key);
  line("Address = " + values.address);
  line("DNS = " + values.dns);
  line("");
  line("[Peer]");
  line("PublicKey = " + values.server_public_key);
  line("Endpoint = " + values.endpoint);
  line("AllowedIPs = " + values.allowed_ips);
  line("PersistentKeepalive = 25");
  return text;
}

// Everything but the private key.
void LogSummary(const TunnelParameters& values, size_t text_size) {
  NativeLog("======== WireGuard Config ========");
  NativeLog("  Address         = " + values.address);
  NativeLog("  DNS             = " + values.dns);
  NativeLog("  [Peer] PublicKey (server) = " + values.server_public_key);
  NativeLog("  Client PublicKey (info)   = " + values.public_key);
  NativeLog("  Endpoint        = " + values.endpoint);
  NativeLog("  AllowedIPs      = " + values.allowed_ips);
  NativeLog("  Config size: " + std::to_string(text_size) + " bytes");
  NativeLog("==================================");
}

// Creates the file anew in `folder`, readable by SYSTEM and Administrators
// only, and writes the whole text. A failure after the file was created
// deletes it. `path` names it in log lines.
bool WriteConfigFile(const HeldFolder& folder, const std::wstring& path,
                     const std::string& text) {
  // An existing file would keep its own security: it is deleted first, and
  // anything else there (a folder, a link) fails the creation instead of
  // being written through.
  UniqueFileHandle file =
      CreateFileInFolder(folder, ConfigFileName(), GENERIC_WRITE | DELETE, 0,
                         SecurityDescriptor(kConfigFileSddl));
  const DWORD open_error = ::GetLastError();
  if (!file) {
    NativeLog("ERROR: CreateFileW failed for config (error: " +
              std::to_string(open_error) + ")");
    return false;
  }
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()),
                  &written, nullptr);
  const DWORD error = ::GetLastError();
  if (!ok || written != text.size()) {
    NativeLog("ERROR: WriteFile failed (error: " + std::to_string(error) + ")");
    DeleteOpenEntry(file.get());
    return false;
  }
  ::FlushFileBuffers(file.get());
  file.reset();
  NativeLog("Config written: " + WideToUtf8(path) + " (" +
            std::to_string(written) + " bytes)");
  return true;
}

// Reads the file back from `folder` and reports whether the sections
// WireGuard needs are there. Never changes the outcome of the write.
void VerifyConfigFile(const HeldFolder& folder) {
  const UniqueFileHandle file =
      OpenFileInFolder(folder, ConfigFileName(), GENERIC_READ, FILE_SHARE_READ);
  if (!file) return;
  const DWORD size = ::GetFileSize(file.get(), nullptr);
  if (size == 0 || size >= kVerifyLimit) return;
  std::string content(size, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.get(), &content[0], size, &read, nullptr)) return;
  const auto has = [&content](const char* needle) {
    return content.find(needle) != std::string::npos;
  };
  const bool peer = has("[Peer]");
  const bool public_key = has("PublicKey");
  const bool endpoint = has("Endpoint");
  const auto yes_no = [](bool found) { return found ? "YES" : "NO"; };
  NativeLog(std::string("Config verify: [Peer]=") + yes_no(peer) +
            " PublicKey=" + yes_no(public_key) +
            " Endpoint=" + yes_no(endpoint));
  if (!peer || !public_key || !endpoint) {
    NativeLog("CRITICAL: Config file missing required sections!");
  }
}

}  // namespace

WrittenConfig WriteTunnelConfig(const std::wstring& directory,
                                const ConfigFolderSource& hold_folder,
                                const TunnelParameters& request) {
  if (directory.empty()) {
    NativeLog("ERROR: Could not determine the configuration folder");
    return {};
  }
  TunnelParameters values = Trimmed(request);
  CompleteValues(values);
  const std::string text = ComposeConfigText(values);
  LogSummary(values, text.size());

  // Held until the file is deleted: nobody can rename or replace the folder
  // meanwhile, and every file in it is reached relative to its handle. A
  // refusal has logged its own line.
  std::shared_ptr<const HeldFolder> folder = hold_folder();
  if (!folder || !folder->valid()) return {};
  std::wstring path = folder->path() + L"\\" + ConfigFileName();
  if (!WriteConfigFile(*folder, path, text)) return {};
  VerifyConfigFile(*folder);
  return {std::move(folder), std::move(path)};
}

void DeleteTunnelConfig(WrittenConfig& config) {
  if (config.path.empty()) return;
  if (config.folder && DeleteFileInFolder(*config.folder, ConfigFileName())) {
    NativeLog("Config file deleted: " + WideToUtf8(config.path));
  } else {
    NativeLog(
        "Note: Could not delete config (may have been removed by WireGuard): " +
        WideToUtf8(config.path));
  }
  config = WrittenConfig();
}
