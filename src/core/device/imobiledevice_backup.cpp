// BackUpDevice (device_backup.h) over libimobiledevice: opens the device's
// lockdown session, the notification proxy (to hear a sync cancel and to
// announce the sync), the file service (for the sync lock) and mobilebackup2,
// writes the backup's Info.plist, sends the "Backup" request and serves the
// device-link messages until the device says it is done.
//
// Raw file stream of "DLMessageUploadFiles" (device to host), repeated per
// file and ended by a name length of 0; all lengths 32-bit big-endian:
//   device path length, device path        (not used)
//   backup path length, backup path        (relative to the backup root)
//   block length N, block code             N counts the code byte
//   N - 1 bytes of data                     while the code is 0x0C (data)
//   ... until a code 0x00 (file done) or 0x0B (device error, N - 1 bytes of text)
// "DLMessageDownloadFiles" (host to device) sends the same blocks per file:
// path length and path, data blocks 0x0C, then 0x00, or 0x06 with an error
// text; 4 zero bytes end the message.
#include "core/device/device_backup.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/mobilebackup2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "core/common/plist_values.h"
#include "core/common/result_codes.h"
#include "core/device/backup_folder_ops.h"
#include "core/device/device_error.h"
#include "core/device/imobiledevice_handles.h"
#include "core/device/imobiledevice_notifications.h"

namespace scrivel::device {
namespace fs = std::filesystem;

namespace {

constexpr char kClientLabel[] = "scrivel";
constexpr char kLockFile[] = "/com.apple.itunes.lock_sync";
constexpr std::size_t kChunkSizeMax = 32768;   // file data moves in chunks of at most this many bytes
constexpr std::uint32_t kPathLengthMax = 4096;  // longer names in the file stream are corrupt
constexpr int kLockTriesMax = 50;
constexpr auto kLockRetryWait = std::chrono::seconds(2);
constexpr char kSyncCancelRequest[] = "com.apple.itunes-client.syncCancelRequest";

constexpr std::uint8_t kCodeSuccess = 0x00;
constexpr std::uint8_t kCodeLocalError = 0x06;
constexpr std::uint8_t kCodeRemoteError = 0x0B;
constexpr std::uint8_t kCodeFileData = 0x0C;
constexpr int kMultiStatus = -13;

// ---- owning handles -------------------------------------------------------

struct ServiceDeleter {
  void operator()(lockdownd_service_descriptor_t service) const { lockdownd_service_descriptor_free(service); }
};
using ServicePtr = std::unique_ptr<std::remove_pointer_t<lockdownd_service_descriptor_t>, ServiceDeleter>;
struct AfcDeleter {
  void operator()(afc_client_t client) const { afc_client_free(client); }
};
using AfcPtr = std::unique_ptr<std::remove_pointer_t<afc_client_t>, AfcDeleter>;
struct BackupClientDeleter {
  void operator()(mobilebackup2_client_t client) const { mobilebackup2_client_free(client); }
};
using BackupClientPtr = std::unique_ptr<std::remove_pointer_t<mobilebackup2_client_t>, BackupClientDeleter>;

PlistPtr newDict() { return PlistPtr(plist_new_dict()); }

// ---- the connection -------------------------------------------------------

// Everything one backup holds open. Members are released in reverse order:
// the sync lock first, the device last. The device's notifications are
// heard while the sync lock is held.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { releaseSyncLock(); }

  std::error_code open(const std::string& udid);
  std::error_code readInfo(DeviceInfo& info, PlistPtr& allValues);
  std::error_code takeSyncLock();
  void releaseSyncLock();
  void post(const char* notification) { m_notifications.Post(notification); }

  idevice_t device() const { return m_device.get(); }
  mobilebackup2_client_t backup() const { return m_backup.get(); }
  bool syncCancelRequested() const { return m_syncCancel.load(); }

 private:
  std::error_code startService(const char* name, ServicePtr& service, bool withEscrowBag);
  void startListening();

  std::atomic<bool> m_syncCancel{false};  // the device asked to cancel the sync
  IdevicePtr m_device;
  LockdownPtr m_lockdown;
  NotificationClient m_notifications;
  AfcPtr m_afc;
  BackupClientPtr m_backup;
  std::optional<std::uint64_t> m_lockHandle;  // the open lock file, while the sync lock is held
};

void Connection::startListening() {
  for (const char* name : {kSyncCancelRequest, "com.apple.itunes-client.syncSuspendRequest",
                           "com.apple.itunes-client.syncResumeRequest", "com.apple.mobile.lockdown.host_attached",
                           "com.apple.mobile.lockdown.host_detached"}) {
    m_notifications.Observe(name);
  }
  m_notifications.StartListening([this](const std::string& name) {
    if (name == kSyncCancelRequest) m_syncCancel = true;
  });
}

std::error_code Connection::startService(const char* name, ServicePtr& service, bool withEscrowBag) {
  lockdownd_service_descriptor_t raw = nullptr;
  lockdownd_error_t error = LOCKDOWN_E_UNKNOWN_ERROR;
  if (withEscrowBag) error = lockdownd_start_service_with_escrow_bag(m_lockdown.get(), name, &raw);
  if (error != LOCKDOWN_E_SUCCESS) {
    if (raw != nullptr) lockdownd_service_descriptor_free(raw);
    raw = nullptr;
    error = lockdownd_start_service(m_lockdown.get(), name, &raw);
  }
  service.reset(raw);
  if (error != LOCKDOWN_E_SUCCESS || raw == nullptr || raw->port == 0) return DeviceError::kServiceFailed;
  return {};
}

std::error_code Connection::open(const std::string& udid) {
  idevice_t rawDevice = nullptr;
  if (idevice_new_with_options(&rawDevice, udid.empty() ? nullptr : udid.c_str(), IDEVICE_LOOKUP_USBMUX) !=
      IDEVICE_E_SUCCESS) {
    return DeviceError::kNoDevice;
  }
  m_device.reset(rawDevice);
  lockdownd_client_t rawLockdown = nullptr;
  const lockdownd_error_t handshake = lockdownd_client_new_with_handshake(rawDevice, &rawLockdown, kClientLabel);
  m_lockdown.reset(rawLockdown);
  if (handshake != LOCKDOWN_E_SUCCESS) return LockdownFailure(handshake);

  ServicePtr service;
  if (const std::error_code error = startService("com.apple.mobile.notification_proxy", service, false); error) {
    return error;
  }
  if (!m_notifications.Open(rawDevice, service.get())) return DeviceError::kServiceFailed;

  if (const std::error_code error = startService("com.apple.afc", service, false); error) return error;
  afc_client_t rawAfc = nullptr;
  if (afc_client_new(rawDevice, service.get(), &rawAfc) != AFC_E_SUCCESS) return DeviceError::kServiceFailed;
  m_afc.reset(rawAfc);

  if (const std::error_code error = startService("com.apple.mobilebackup2", service, true); error) return error;
  mobilebackup2_client_t rawBackup = nullptr;
  if (mobilebackup2_client_new(rawDevice, service.get(), &rawBackup) != MOBILEBACKUP2_E_SUCCESS) {
    return DeviceError::kServiceFailed;
  }
  m_backup.reset(rawBackup);
  double versions[] = {2.0, 2.1};
  double agreed = 0.0;
  if (mobilebackup2_version_exchange(rawBackup, versions, 2, &agreed) != MOBILEBACKUP2_E_SUCCESS) {
    return DeviceError::kServiceFailed;
  }
  return {};
}

std::string stringOf(plist_t dict, const char* key) { return PlistStringValue(dict, key).value_or(""); }

std::error_code Connection::readInfo(DeviceInfo& info, PlistPtr& allValues) {
  plist_t raw = nullptr;
  lockdownd_error_t error = lockdownd_get_value(m_lockdown.get(), nullptr, nullptr, &raw);
  allValues.reset(raw);
  if (error != LOCKDOWN_E_SUCCESS || raw == nullptr) return LockdownFailure(error);
  char* udid = nullptr;
  if (idevice_get_udid(m_device.get(), &udid) == IDEVICE_E_SUCCESS && udid != nullptr) {
    info.udid = udid;
    std::free(udid);
  }
  info.deviceName = stringOf(raw, "DeviceName");
  info.deviceClass = stringOf(raw, "DeviceClass");
  info.productVersion = stringOf(raw, "ProductVersion");
  info.newLayout = IsNewLayoutVersion(info.productVersion);
  plist_t rawEncrypt = nullptr;
  error = lockdownd_get_value(m_lockdown.get(), "com.apple.mobile.backup", "WillEncrypt", &rawEncrypt);
  const PlistPtr encrypt(rawEncrypt);
  if (error != LOCKDOWN_E_SUCCESS) return LockdownFailure(error);
  std::uint8_t flag = 0;
  if (rawEncrypt != nullptr && plist_get_node_type(rawEncrypt) == PLIST_BOOLEAN) plist_get_bool_val(rawEncrypt, &flag);
  info.willEncrypt = flag != 0;
  return {};
}

std::error_code Connection::takeSyncLock() {
  post("com.apple.itunes-mobdev.syncWillStart");
  std::uint64_t handle = 0;
  if (afc_file_open(m_afc.get(), kLockFile, AFC_FOPEN_RW, &handle) != AFC_E_SUCCESS) return DeviceError::kServiceFailed;
  post("com.apple.itunes-mobdev.syncLockRequest");
  for (int attempt = 0; attempt < kLockTriesMax; ++attempt) {
    const afc_error_t error = afc_file_lock(m_afc.get(), handle, AFC_LOCK_EX);
    if (error == AFC_E_SUCCESS) {
      m_lockHandle = handle;
      post("com.apple.itunes-mobdev.syncDidStart");
      startListening();
      return {};
    }
    if (error != AFC_E_OP_WOULD_BLOCK) break;
    std::this_thread::sleep_for(kLockRetryWait);
  }
  afc_file_close(m_afc.get(), handle);
  return DeviceError::kSyncLockBusy;
}

void Connection::releaseSyncLock() {
  if (!m_lockHandle) return;
  afc_file_lock(m_afc.get(), *m_lockHandle, AFC_LOCK_UN);
  afc_file_close(m_afc.get(), *m_lockHandle);
  m_lockHandle.reset();
  post("com.apple.itunes-mobdev.syncDidFinish");
}

// ---- Info.plist -----------------------------------------------------------

void copyString(plist_t from, const char* fromKey, plist_t to, const char* toKey) {
  plist_t node = plist_dict_get_item(from, fromKey);
  if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) plist_dict_set_item(to, toKey, plist_copy(node));
}

// The Info.plist a backup carries, from the device's lockdown values.
std::error_code writeInfoPlist(const fs::path& folder, const DeviceInfo& info, plist_t values) {
  const PlistPtr dict = newDict();
  copyString(values, "BuildVersion", dict.get(), "Build Version");
  copyString(values, "DeviceName", dict.get(), "Device Name");
  copyString(values, "DeviceName", dict.get(), "Display Name");
  copyString(values, "IntegratedCircuitCardIdentity", dict.get(), "ICCID");
  copyString(values, "InternationalMobileEquipmentIdentity", dict.get(), "IMEI");
  copyString(values, "PhoneNumber", dict.get(), "Phone Number");
  copyString(values, "ProductType", dict.get(), "Product Type");
  copyString(values, "ProductVersion", dict.get(), "Product Version");
  copyString(values, "SerialNumber", dict.get(), "Serial Number");
  plist_dict_set_item(dict.get(), "GUID", plist_new_string("---"));
  plist_dict_set_item(dict.get(), "Target Identifier", plist_new_string(info.udid.c_str()));
  plist_dict_set_item(dict.get(), "Target Type", plist_new_string("Device"));
  std::string upper = info.udid;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  plist_dict_set_item(dict.get(), "Unique Identifier", plist_new_string(upper.c_str()));
  // Property-list dates count from 2001-01-01 (978307200 seconds after 1970).
  constexpr std::int64_t kAppleEpochOffset = 978307200;
  plist_dict_set_item(dict.get(), "Last Backup Date",
                      plist_new_date(static_cast<std::int32_t>(std::time(nullptr) - kAppleEpochOffset), 0));
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(dict.get(), &xml, &length);
  if (xml == nullptr) return std::make_error_code(std::errc::not_enough_memory);
  std::ofstream out(folder / "Info.plist", std::ios::binary | std::ios::trunc);
  out.write(xml, length);
  std::free(xml);
  return out ? std::error_code() : std::make_error_code(std::errc::io_error);
}

// ---- the device-link message loop ----------------------------------------

class Session {
 public:
  Session(Connection& connection, const BackupRequest& request, const fs::path& root)
      : m_connection(connection), m_request(request), m_root(root) {}

  // Serves messages until the device ends the backup; the result as BackUpDevice gives it.
  std::error_code run(std::string& deviceError);

 private:
  bool readExact(char* data, std::uint32_t size);
  bool readLength(std::uint32_t& value);
  bool sendAll(const char* data, std::uint32_t size);
  bool sendBlock(std::uint8_t code, const char* data, std::uint32_t size);
  void sendStatus(int code, const char* text, plist_t dict);
  void takeProgress(plist_t message, std::uint32_t index);
  bool stopRequested() const;
  std::uint64_t freeSpace() const;
  // What a failed write means: kDiskFull when the disk is (nearly) full,
  // else an input/output error.
  std::error_code writeFailure() const;

  std::error_code receiveFiles();
  void sendFiles(plist_t message);
  void answerFreeSpace();
  void answerContents(plist_t message);
  void answerMoves(plist_t message);
  void answerRemoves(plist_t message);
  void answerCreateFolder(plist_t message);
  void answerCopy(plist_t message);

  Connection& m_connection;
  const BackupRequest& m_request;
  fs::path m_root;             // paths the device names are relative to this folder
  double m_progress = 0;       // the device's overall progress, percent
  std::vector<char> m_buffer = std::vector<char>(kChunkSizeMax);
};

bool Session::stopRequested() const {
  return m_connection.syncCancelRequested() || (m_request.stop != nullptr && m_request.stop->load());
}

std::uint64_t Session::freeSpace() const {
  if (m_request.freeSpace) return m_request.freeSpace(m_root);
  std::error_code error;
  const fs::space_info space = fs::space(m_root, error);
  return error ? 0 : space.available;
}

std::error_code Session::writeFailure() const {
  if (freeSpace() < kFreeSpaceReserve) return DeviceError::kDiskFull;
  return std::make_error_code(std::errc::io_error);
}

bool Session::readExact(char* data, std::uint32_t size) {
  std::uint32_t done = 0;
  int emptyReads = 0;
  while (done < size) {
    std::uint32_t got = 0;
    if (mobilebackup2_receive_raw(m_connection.backup(), data + done, size - done, &got) != MOBILEBACKUP2_E_SUCCESS) {
      return false;
    }
    // An empty read waited the library's whole timeout.
    if (got == 0 && (++emptyReads > m_request.idleStreamReadsMax || stopRequested())) return false;
    if (got > 0) emptyReads = 0;
    done += got;
  }
  return true;
}

bool Session::readLength(std::uint32_t& value) {
  std::array<unsigned char, 4> bytes;
  if (!readExact(reinterpret_cast<char*>(bytes.data()), 4)) return false;
  value = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
  return true;
}

bool Session::sendAll(const char* data, std::uint32_t size) {
  std::uint32_t done = 0;
  while (done < size) {
    std::uint32_t sent = 0;
    if (mobilebackup2_send_raw(m_connection.backup(), data + done, size - done, &sent) != MOBILEBACKUP2_E_SUCCESS ||
        sent == 0) {
      return false;
    }
    done += sent;
  }
  return true;
}

bool Session::sendBlock(std::uint8_t code, const char* data, std::uint32_t size) {
  const std::uint32_t length = size + 1;
  const char header[5] = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                          static_cast<char>(length >> 8), static_cast<char>(length), static_cast<char>(code)};
  return sendAll(header, sizeof header) && (size == 0 || sendAll(data, size));
}

void Session::sendStatus(int code, const char* text, plist_t dict) {
  const PlistPtr empty = newDict();
  mobilebackup2_send_status_response(m_connection.backup(), code, text, dict != nullptr ? dict : empty.get());
}

std::optional<std::string> stringItem(plist_t array, std::uint32_t index) {
  plist_t node = plist_array_get_item(array, index);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  char* text = nullptr;
  plist_get_string_val(node, &text);
  if (text == nullptr) return std::nullopt;
  std::string result(text);
  std::free(text);
  return result;
}

void Session::takeProgress(plist_t message, std::uint32_t index) {
  plist_t node = plist_array_get_item(message, index);
  if (node == nullptr || plist_get_node_type(node) != PLIST_REAL) return;
  double value = 0;
  plist_get_real_val(node, &value);
  // A jump of 99 points or more at once is not believed (a device that
  // reports 100 before it has sent anything).
  if (value > 0 && value <= 100 && value - m_progress < 99) m_progress = value;
}

std::error_code Session::receiveFiles() {
  for (;;) {
    if (stopRequested()) return make_error_code(kDeviceGone);
    std::uint32_t nameLength = 0;
    if (!readLength(nameLength)) return make_error_code(kDeviceGone);
    if (nameLength == 0) break;
    if (nameLength > kPathLengthMax) return make_error_code(kDeviceGone);  // the stream is corrupt
    std::string devicePath(nameLength, '\0');
    if (!readExact(devicePath.data(), nameLength)) return make_error_code(kDeviceGone);
    std::uint32_t pathLength = 0;
    if (!readLength(pathLength) || pathLength == 0 || pathLength > kPathLengthMax) return make_error_code(kDeviceGone);
    std::string relative(pathLength, '\0');
    if (!readExact(relative.data(), pathLength)) return make_error_code(kDeviceGone);

    // A disk that fills up ends the backup before the file: the device
    // learns of it by the connection closing.
    if (freeSpace() < kFreeSpaceReserve) return DeviceError::kDiskFull;
    const fs::path target = ResolveInside(m_root, relative);
    std::ofstream out;
    if (!target.empty()) {
      std::error_code ignored;
      fs::create_directories(target.parent_path(), ignored);
      fs::remove(target, ignored);
      out.open(target, std::ios::binary | std::ios::trunc);
    }
    bool fileOk = !target.empty() && out.is_open();
    std::uint32_t blockLength = 0;
    char code = 0;
    for (;;) {
      if (!readLength(blockLength) || blockLength == 0 || !readExact(&code, 1)) return make_error_code(kDeviceGone);
      std::uint32_t remaining = blockLength - 1;
      if (static_cast<std::uint8_t>(code) != kCodeFileData) {
        // The end of the file, or the device's error text: read and drop it.
        while (remaining > 0) {
          const std::uint32_t piece = std::min<std::uint32_t>(remaining, kChunkSizeMax);
          if (!readExact(m_buffer.data(), piece)) return make_error_code(kDeviceGone);
          remaining -= piece;
        }
        break;
      }
      while (remaining > 0) {
        const std::uint32_t piece = std::min<std::uint32_t>(remaining, kChunkSizeMax);
        if (!readExact(m_buffer.data(), piece)) return make_error_code(kDeviceGone);
        if (fileOk && !out.write(m_buffer.data(), piece)) return writeFailure();
        remaining -= piece;
      }
    }
    out.close();
    if (fileOk && out.fail()) return writeFailure();
    const bool complete = fileOk && static_cast<std::uint8_t>(code) == kCodeSuccess;
    if (!complete && !target.empty()) {
      std::error_code ignored;
      fs::remove(target, ignored);
    }
  }
  sendStatus(0, nullptr, nullptr);
  return {};
}

void Session::sendFiles(plist_t message) {
  plist_t paths = plist_array_get_item(message, 1);
  const PlistPtr errors = newDict();
  const std::uint32_t count = paths != nullptr && plist_get_node_type(paths) == PLIST_ARRAY ? plist_array_get_size(paths) : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> relative = stringItem(paths, i);
    if (!relative || relative->size() > kPathLengthMax) continue;
    const std::uint32_t length = static_cast<std::uint32_t>(relative->size());
    const char lengthBytes[4] = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                                 static_cast<char>(length >> 8), static_cast<char>(length)};
    if (!sendAll(lengthBytes, 4) || !sendAll(relative->data(), length)) return;
    const fs::path source = ResolveInside(m_root, *relative);
    std::error_code error;
    std::ifstream in;
    if (source.empty() || !fs::is_regular_file(fs::symlink_status(source, error))) {
      error = std::make_error_code(std::errc::no_such_file_or_directory);
    } else {
      in.open(source, std::ios::binary);
      if (!in) error = std::make_error_code(std::errc::io_error);
    }
    while (!error && in) {
      in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
      const auto got = static_cast<std::uint32_t>(in.gcount());
      if (got > 0 && !sendBlock(kCodeFileData, m_buffer.data(), got)) return;
    }
    if (!error) {
      if (!sendBlock(kCodeSuccess, nullptr, 0)) return;
      continue;
    }
    const std::string text = error.message();
    const PlistPtr entry = newDict();
    plist_dict_set_item(entry.get(), "DLFileErrorString", plist_new_string(text.c_str()));
    plist_dict_set_item(entry.get(), "DLFileErrorCode", plist_new_uint(static_cast<std::uint64_t>(DeviceLinkErrorNumber(error))));
    plist_dict_set_item(errors.get(), relative->c_str(), plist_copy(entry.get()));
    if (!sendBlock(kCodeLocalError, text.data(), static_cast<std::uint32_t>(text.size()))) return;
    break;  // a file that fails is the last one sent of this message
  }
  const char end[4] = {0, 0, 0, 0};
  if (!sendAll(end, 4)) return;
  if (plist_dict_get_size(errors.get()) == 0) sendStatus(0, nullptr, nullptr);
  else sendStatus(kMultiStatus, "Multi status", errors.get());
}

void Session::answerFreeSpace() {
  // The reserve is not the device's to fill.
  const std::uint64_t free = freeSpace();
  const PlistPtr value(plist_new_uint(free > kFreeSpaceReserve ? free - kFreeSpaceReserve : 0));
  mobilebackup2_send_status_response(m_connection.backup(), 0, nullptr, value.get());
}

void Session::answerContents(plist_t message) {
  const std::optional<std::string> relative = stringItem(message, 1);
  if (!relative) return;  // malformed: the device gets no answer, as it sent no folder
  std::vector<FolderEntry> entries;
  const PlistPtr dict = newDict();
  if (!ListBackupFolder(m_root, *relative, entries)) {
    for (const FolderEntry& entry : entries) {
      const PlistPtr item = newDict();
      const char* type = entry.isFolder ? "DLFileTypeDirectory" : entry.isRegular ? "DLFileTypeRegular" : "DLFileTypeUnknown";
      plist_dict_set_item(item.get(), "DLFileType", plist_new_string(type));
      plist_dict_set_item(item.get(), "DLFileSize", plist_new_uint(entry.size));
      constexpr std::int64_t kAppleEpochOffset = 978307200;
      plist_dict_set_item(item.get(), "DLFileModificationDate",
                          plist_new_date(static_cast<std::int32_t>(entry.modifiedTime - kAppleEpochOffset), 0));
      plist_dict_set_item(dict.get(), entry.name.c_str(), plist_copy(item.get()));
    }
  }
  sendStatus(0, nullptr, dict.get());
}

void Session::answerMoves(plist_t message) {
  plist_t moves = plist_array_get_item(message, 1);
  if (moves == nullptr || plist_get_node_type(moves) != PLIST_DICT) {
    sendStatus(-1, "Could not create dict iterator", nullptr);
    return;
  }
  std::error_code error;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(moves, &iterator);
  char* key = nullptr;
  plist_t value = nullptr;
  while (!error) {
    plist_dict_next_item(moves, iterator, &key, &value);
    if (key == nullptr) break;
    const std::string from(key);
    std::free(key);
    key = nullptr;
    char* to = nullptr;
    if (value != nullptr && plist_get_node_type(value) == PLIST_STRING) plist_get_string_val(value, &to);
    if (to == nullptr) continue;
    error = MoveBackupItem(m_root, from, to);
    std::free(to);
  }
  std::free(iterator);
  sendStatus(DeviceLinkErrorNumber(error), error ? error.message().c_str() : nullptr, nullptr);
}

void Session::answerRemoves(plist_t message) {
  plist_t paths = plist_array_get_item(message, 1);
  const std::uint32_t count = paths != nullptr && plist_get_node_type(paths) == PLIST_ARRAY ? plist_array_get_size(paths) : 0;
  std::error_code last;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::optional<std::string> relative = stringItem(paths, i);
    if (!relative) continue;
    if (const std::error_code error = RemoveBackupItem(m_root, *relative); error) last = error;
  }
  sendStatus(DeviceLinkErrorNumber(last), last ? last.message().c_str() : nullptr, nullptr);
}

void Session::answerCreateFolder(plist_t message) {
  const std::optional<std::string> relative = stringItem(message, 1);
  const std::error_code error = relative ? CreateBackupFolder(m_root, *relative) : std::make_error_code(std::errc::invalid_argument);
  sendStatus(DeviceLinkErrorNumber(error), error ? error.message().c_str() : nullptr, nullptr);
}

void Session::answerCopy(plist_t message) {
  const std::optional<std::string> from = stringItem(message, 1);
  const std::optional<std::string> to = stringItem(message, 2);
  const std::error_code error = from && to ? CopyBackupItem(m_root, *from, *to) : std::make_error_code(std::errc::invalid_argument);
  sendStatus(DeviceLinkErrorNumber(error), error ? error.message().c_str() : nullptr, nullptr);
}

std::error_code Session::run(std::string& deviceError) {
  int idleReceives = 0;
  for (;;) {
    if (stopRequested()) return make_error_code(kDeviceGone);
    plist_t rawMessage = nullptr;
    char* rawName = nullptr;
    const mobilebackup2_error_t received = mobilebackup2_receive_message(m_connection.backup(), &rawMessage, &rawName);
    const PlistPtr message(rawMessage);
    const std::string name = rawName != nullptr ? rawName : "";
    std::free(rawName);
    if (received == MOBILEBACKUP2_E_RECEIVE_TIMEOUT || (received == MOBILEBACKUP2_E_SUCCESS && name.empty())) {
      if (++idleReceives > m_request.idleReceivesMax) return make_error_code(kDeviceGone);  // stalled
      continue;
    }
    if (received != MOBILEBACKUP2_E_SUCCESS) return make_error_code(kDeviceGone);
    idleReceives = 0;
    plist_t msg = message.get();

    if (name == "DLMessageDownloadFiles") {
      takeProgress(msg, 3);
      sendFiles(msg);
    } else if (name == "DLMessageUploadFiles") {
      takeProgress(msg, 2);
      if (const std::error_code error = receiveFiles(); error) return error;
    } else if (name == "DLMessageGetFreeDiskSpace") {
      answerFreeSpace();
    } else if (name == "DLContentsOfDirectory") {
      answerContents(msg);
    } else if (name == "DLMessageCreateDirectory") {
      answerCreateFolder(msg);
    } else if (name == "DLMessageMoveFiles" || name == "DLMessageMoveItems") {
      takeProgress(msg, 3);
      answerMoves(msg);
    } else if (name == "DLMessageRemoveFiles" || name == "DLMessageRemoveItems") {
      takeProgress(msg, 3);
      answerRemoves(msg);
    } else if (name == "DLMessageCopyItem") {
      answerCopy(msg);
    } else if (name == "DLMessageDisconnect") {
      return {};
    } else if (name == "DLMessageProcessMessage") {
      plist_t result = plist_array_get_item(msg, 1);
      std::int64_t code = 0;
      if (plist_t node = plist_dict_get_item(result, "ErrorCode"); node != nullptr && plist_get_node_type(node) == PLIST_UINT) {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        code = static_cast<std::int64_t>(value);
      }
      deviceError = PlistStringValue(result, "ErrorDescription").value_or("");
      return code != 0 ? std::error_code(DeviceError::kBackupRefused) : std::error_code();
    }
    if (m_request.progress) {
      if (const std::error_code answer = m_request.progress(static_cast<int>(m_progress)); answer) return answer;
    }
  }
}

}  // namespace

std::error_code BackUpDevice(const BackupRequest& request, BackupOutcome& outcome) {
  outcome = BackupOutcome();
  std::error_code error;
  fs::create_directories(request.root, error);
  if (error) return error;

  Connection connection;
  if (error = connection.open(request.udid); error) return error;
  PlistPtr values;
  if (error = connection.readInfo(outcome.info, values); error) return error;
  if (error = connection.takeSyncLock(); error) return error;

  outcome.backupFolder = request.root / outcome.info.udid;
  fs::create_directories(outcome.backupFolder, error);
  if (!error) error = writeInfoPlist(outcome.backupFolder, outcome.info, values.get());
  if (!error) {
    if (mobilebackup2_send_request(connection.backup(), "Backup", outcome.info.udid.c_str(), outcome.info.udid.c_str(),
                                   nullptr) != MOBILEBACKUP2_E_SUCCESS) {
      error = DeviceError::kServiceFailed;
    }
  }
  if (!error) {
    Session session(connection, request, request.root);
    error = session.run(outcome.deviceError);
  }
  connection.releaseSyncLock();
  if (error) {
    std::error_code ignored;
    fs::remove_all(outcome.backupFolder, ignored);
  }
  return error;
}

}  // namespace scrivel::device
