// The device's notification proxy (com.apple.mobile.notification_proxy) over
// the property-list service of libimobiledevice: the host posts
// notifications, and hears those it observes on a listener thread of its
// own that ends within a tenth of a second when asked. (The library's own
// notification client listens on a thread that sleeps a second after each
// half-second wait and must be joined when the client closes, which held up
// the end of every backup session by up to a second and a half.)
//
// Messages, one property list (a dictionary) each:
//   host to device   Command "ObserveNotification", Name
//                    Command "PostNotification", Name
//                    Command "Shutdown"
//   device to host   Command "RelayNotification", Name   (an observed notification)
//                    Command "ProxyDeath"                 (the proxy ends)
// Internal to src/core/device, like every imobiledevice_* file.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <libimobiledevice/property_list_service.h>

namespace scrivel::device {

class NotificationClient {
 public:
  // Called on the listener thread with the name of each relayed notification.
  using Listener = std::function<void(const std::string& name)>;

  NotificationClient() = default;
  ~NotificationClient() { Close(); }
  NotificationClient(const NotificationClient&) = delete;
  NotificationClient& operator=(const NotificationClient&) = delete;

  // Connects to the proxy the lockdown service started; false on failure.
  [[nodiscard]] bool Open(idevice_t device, lockdownd_service_descriptor_t service);
  void Post(const char* name);
  void Observe(const char* name);
  // Starts the listener thread (once).
  void StartListening(Listener listener);
  // Ends the listener, tells the proxy to shut down and closes the
  // connection. Safe to call more than once.
  void Close();

 private:
  void send(const char* command, const char* name);
  void listen();

  property_list_service_client_t m_client = nullptr;
  Listener m_listener;
  std::atomic<bool> m_stopListening{false};
  std::thread m_thread;
};

}  // namespace scrivel::device
