#include "core/device/imobiledevice_notifications.h"

#include <optional>

#include "core/common/plist_values.h"

namespace scrivel::device {
namespace {

// How long one wait of the listener lasts: also how long Close waits for it.
constexpr unsigned kListenWaitMs = 100;

}  // namespace

bool NotificationClient::Open(idevice_t device, lockdownd_service_descriptor_t service) {
  Close();
  return property_list_service_client_new(device, service, &m_client) == PROPERTY_LIST_SERVICE_E_SUCCESS;
}

void NotificationClient::send(const char* command, const char* name) {
  if (m_client == nullptr) return;
  const PlistPtr message(plist_new_dict());
  plist_dict_set_item(message.get(), "Command", plist_new_string(command));
  if (name != nullptr) plist_dict_set_item(message.get(), "Name", plist_new_string(name));
  property_list_service_send_xml_plist(m_client, message.get());
}

void NotificationClient::Post(const char* name) { send("PostNotification", name); }

void NotificationClient::Observe(const char* name) { send("ObserveNotification", name); }

void NotificationClient::StartListening(Listener listener) {
  if (m_client == nullptr || m_thread.joinable()) return;
  m_listener = std::move(listener);
  m_stopListening = false;
  // Sending (Post) and receiving on one connection from two threads is safe:
  // without session encryption each is a plain socket call.
  m_thread = std::thread([this] { listen(); });
}

void NotificationClient::listen() {
  while (!m_stopListening) {
    plist_t raw = nullptr;
    const property_list_service_error_t error =
        property_list_service_receive_plist_with_timeout(m_client, &raw, kListenWaitMs);
    const PlistPtr message(raw);
    if (error == PROPERTY_LIST_SERVICE_E_RECEIVE_TIMEOUT) continue;
    // A closed or broken connection: the session notices the device going by itself.
    if (error != PROPERTY_LIST_SERVICE_E_SUCCESS || raw == nullptr) return;
    const std::optional<std::string> command = PlistStringValue(raw, "Command");
    if (command == "ProxyDeath") return;
    if (command == "RelayNotification") {
      const std::optional<std::string> name = PlistStringValue(raw, "Name");
      if (name) m_listener(*name);
    }
  }
}

void NotificationClient::Close() {
  m_stopListening = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_client == nullptr) return;
  send("Shutdown", nullptr);
  property_list_service_client_free(m_client);
  m_client = nullptr;
}

}  // namespace scrivel::device
