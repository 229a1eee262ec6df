#include "widgets/qt_tray_shell.h"

#include "widgets/notify_icon_data.h"

namespace qs {

QtTrayShell::QtTrayShell() = default;

QtTrayShell::~QtTrayShell() = default;

bool QtTrayShell::Available() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayShell::NotifyIcon(NotifyMessage message, const NotifyIconData& data) {
  switch (message) {
    case NotifyMessage::kAdd:
      if (!Available()) {
        return false;
      }
      icon_ = std::make_unique<QSystemTrayIcon>();
      id_ = data.id;
      QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                       [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); });
      Apply(data);
      if ((data.flags & kNifState) == 0 || (data.state & data.state_mask & kNisHidden) == 0) {
        icon_->show();
      }
      return true;
    case NotifyMessage::kModify:
      if (!icon_) {
        return false;
      }
      Apply(data);
      return true;
    case NotifyMessage::kDelete:
      if (!icon_) {
        return false;
      }
      icon_->hide();
      icon_.reset();
      return true;
    case NotifyMessage::kSetFocus:
      return icon_ != nullptr;
  }
  return false;
}

void QtTrayShell::Apply(const NotifyIconData& data) {
  if (data.flags & kNifIcon) {
    icon_->setIcon(data.icon);
  }
  if (data.flags & kNifTip) {
    icon_->setToolTip(data.tip);
  }
  if ((data.flags & kNifState) && (data.state_mask & kNisHidden)) {
    icon_->setVisible((data.state & kNisHidden) == 0);
  }
  if ((data.flags & kNifInfo) && !data.info.isEmpty()) {
    // The balloon icon kinds 0 to 3 line up with QSystemTrayIcon::MessageIcon.
    icon_->showMessage(data.info_title, data.info,
                       static_cast<QSystemTrayIcon::MessageIcon>(data.info_flags & 0x3),
                       static_cast<int>(data.timeout_ms));
  }
}

QRect QtTrayShell::IconGeometry() const {
  return icon_ ? icon_->geometry() : QRect();
}

void QtTrayShell::SetActivationHandler(ActivationHandler handler) {
  handler_ = std::move(handler);
}

void QtTrayShell::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  if (!handler_) {
    return;
  }
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      handler_(id_, TrayMouseEvent::kLeftClick);
      break;
    case QSystemTrayIcon::DoubleClick:
      handler_(id_, TrayMouseEvent::kLeftDoubleClick);
      break;
    case QSystemTrayIcon::Context:
      handler_(id_, TrayMouseEvent::kRightClick);
      break;
    case QSystemTrayIcon::MiddleClick:
      handler_(id_, TrayMouseEvent::kMiddleClick);
      break;
    case QSystemTrayIcon::Unknown:
      break;
  }
}

}  // namespace qs
