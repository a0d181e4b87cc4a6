// scrivel-cli device: the connected iOS devices. "device list" prints one
// line (or one JSON object per line with --json) per device attached by USB.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/terminal_text.h"
#include "core/common/json_text.h"
#include "core/device/device_error.h"
#include "core/device/device_list.h"

namespace scrivel::cli {
namespace {

using device::DeviceError;

// Exit codes of "device list".
constexpr int kExitListed = 0;
constexpr int kExitNoDeviceSupport = 4;  // usbmuxd cannot be reached

struct DeviceListOptions {
  bool json = false;
};

// A short word for a device's state, for scripts: "ready" when its lockdown
// session opened, else what blocks it.
std::string stateWord(const std::error_code& state) {
  if (!state) return "ready";
  if (state.category() != device::DeviceCategory()) return "error";
  switch (static_cast<DeviceError>(state.value())) {
    case DeviceError::kTrustNeeded: return "trust-needed";
    case DeviceError::kPasscodeLocked: return "passcode-locked";
    case DeviceError::kPairingRefused: return "pairing-refused";
    case DeviceError::kNoDevice: return "gone";
    case DeviceError::kSupportMissing:
    case DeviceError::kLockdownFailed:
    case DeviceError::kServiceFailed:
    case DeviceError::kBackupRefused:
    case DeviceError::kSyncLockBusy: break;
  }
  return "error";
}

void printDevice(const device::ListedDevice& listed, bool json) {
  const device::DeviceInfo& info = listed.info;
  const bool known = !listed.state;  // the encryption setting is read only in a session
  if (json) {
    std::printf("{\"udid\":%s,\"name\":%s,\"class\":%s,\"version\":%s,\"encryptsBackups\":%s,\"state\":%s,"
                "\"problem\":%s}\n",
                JsonString(info.udid).c_str(), JsonString(info.deviceName).c_str(), JsonString(info.deviceClass).c_str(),
                JsonString(info.productVersion).c_str(), known ? (info.willEncrypt ? "true" : "false") : "null",
                JsonString(stateWord(listed.state)).c_str(),
                listed.state ? JsonString(listed.state.message()).c_str() : "null");
    return;
  }
  const char* encryption = !known ? "encryption unknown" : info.willEncrypt ? "encrypts backups" : "does not encrypt backups";
  std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", TerminalText(info.udid).c_str(), TerminalText(info.deviceName).c_str(),
              TerminalText(info.deviceClass).c_str(), TerminalText(info.productVersion).c_str(), encryption,
              listed.state ? listed.state.message().c_str() : "ready");
}

int runDeviceList(const DeviceListOptions& options) {
  std::vector<device::ListedDevice> devices;
  if (const std::error_code error = device::ListDevices(devices); error) {
    std::fprintf(stderr, "scrivel-cli device list: %s\n", error.message().c_str());
    return kExitNoDeviceSupport;
  }
  for (const device::ListedDevice& listed : devices) printDevice(listed, options.json);
  return kExitListed;
}

void defineDeviceList(CLI::App& command, int& exitCode) {
  auto options = std::make_shared<DeviceListOptions>();
  command.add_flag("--json", options->json,
                   "one JSON object per line: udid, name, class, version, encryptsBackups\n"
                   "(null when unknown), state, problem");
  command.footer("Lists the iOS devices connected by USB, one per line: identifier, name, class,\n"
                 "version, whether backups are encrypted, and whether the device is ready or\n"
                 "waits for Trust or its passcode, separated by tabs. Changes nothing on a device.\n\n"
                 "Exit codes: 0 listed (also when no device is connected), 1 bad arguments,\n"
                 "4 the USB multiplexing service (usbmuxd) cannot be reached.");
  command.callback([options, &exitCode] { exitCode = runDeviceList(*options); });
}

}  // namespace

void defineDevice(CLI::App& command, int& exitCode) {
  command.description("Works with an iOS device connected by USB.");
  command.require_subcommand(1);
  defineDeviceList(*command.add_subcommand("list", "list the connected iOS devices"), exitCode);
}

}  // namespace scrivel::cli
