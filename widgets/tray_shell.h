// The notification area as CTrayIcon uses it: one icon that is shown or not, its messages, and
// the user's clicks on it. The program's own is QSystemTrayIcon; tests supply a recording one.
#pragma once

#include <QIcon>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

namespace qs {

class TrayShell {
 public:
  using ActivationHandler = std::function<void(QSystemTrayIcon::ActivationReason reason)>;

  virtual ~TrayShell() = default;

  // A notification area exists on this desktop.
  virtual bool Available() const = 0;
  virtual void SetIcon(const QIcon& icon, const QString& tip) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void ShowMessage(const QString& title, const QString& text,
                           QSystemTrayIcon::MessageIcon icon, int milliseconds) = 0;
  // Where the icon sits on the screen; empty when the window system does not say.
  virtual QRect IconGeometry() const = 0;
  // Called on the GUI thread for every click on the icon.
  virtual void SetActivationHandler(ActivationHandler handler) = 0;
};

}  // namespace qs
