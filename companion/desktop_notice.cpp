#include "companion/desktop_notice.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>

namespace qs {

namespace {

constexpr std::uint64_t kCallTimeoutMicroseconds = 3'000'000;
constexpr std::int32_t kExpireDefault = -1;

}  // namespace

bool NotifyDesktop(std::string_view summary, std::string_view body, bool failure) {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) {
    return false;
  }
  sd_bus_set_method_call_timeout(bus, kCallTimeoutMicroseconds);
  const std::string summary_text(summary);
  const std::string body_text(body);
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  sd_bus_message* reply = nullptr;
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
  const int r =
      sd_bus_call_method(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify", &error, &reply, "susssasa{sv}i",
                         "Mirrowen", 0u, failure ? "dialog-error" : "dialog-information",
                         summary_text.c_str(), body_text.c_str(), 0, 0, kExpireDefault);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
  return r >= 0;
}

}  // namespace qs
