// The notification area through QSystemTrayIcon: the icon exists from a successful add until
// the delete.
#pragma once

#include <QSystemTrayIcon>
#include <memory>

#include "widgets/tray_shell.h"

namespace qs {

class QtTrayShell : public TrayShell {
 public:
  QtTrayShell();
  ~QtTrayShell() override;

  bool Available() const override;
  bool NotifyIcon(NotifyMessage message, const NotifyIconData& data) override;
  QRect IconGeometry() const override;
  void SetActivationHandler(ActivationHandler handler) override;

 private:
  void Apply(const NotifyIconData& data);
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  std::unique_ptr<QSystemTrayIcon> icon_;
  unsigned id_ = 0;
  ActivationHandler handler_;
};

}  // namespace qs
