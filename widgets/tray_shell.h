// The notification area as CTrayIcon sees it: one call that adds, changes, removes or
// focuses an icon, and the icon's mouse events coming back. The desktop build talks to
// QSystemTrayIcon (QtTrayShell); tests supply a recording shell.
#pragma once

#include <QRect>
#include <functional>

namespace qs {

struct NotifyIconData;

enum class NotifyMessage { kAdd, kModify, kDelete, kSetFocus };

enum class TrayMouseEvent { kLeftClick, kLeftDoubleClick, kRightClick, kMiddleClick };

class TrayShell {
 public:
  using ActivationHandler = std::function<void(unsigned id, TrayMouseEvent event)>;

  virtual ~TrayShell() = default;

  // A notification area exists on this desktop.
  virtual bool Available() const = 0;
  // Answers whether the call succeeded. kModify and kDelete fail for an icon never added.
  virtual bool NotifyIcon(NotifyMessage message, const NotifyIconData& data) = 0;
  // Where the icon sits on the screen; empty when the tray does not say.
  virtual QRect IconGeometry() const = 0;
  // Called on the GUI thread for every mouse event on the icon.
  virtual void SetActivationHandler(ActivationHandler handler) = 0;
};

}  // namespace qs
