// CTrayIcon's icon animation and the moves of a window into and out of the tray.
#include "widgets/tray_icon.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "widgets/tray_area.h"

namespace qs {

bool CTrayIcon::SetIconFrames(const QList<QIcon>& frames) {
  frames_ = frames;
  return true;
}

bool CTrayIcon::StartIconAnimation(int step_ms, unsigned period_s) {
  if (frames_.isEmpty()) {
    return false;
  }
  StopIconAnimation();
  current_frame_ = 0;
  animation_start_ = clock_();
  animation_period_ = period_s;
  saved_icon_ = CurrentIcon();
  animation_timer_.start(step_ms);
  return animation_timer_.isActive();
}

void CTrayIcon::OnAnimationTimer() {
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(clock_() - animation_start_).count();
  if (animation_period_ != 0 && elapsed > static_cast<long long>(animation_period_)) {
    StopIconAnimation();
  } else {
    NextIconFrame();
  }
}

bool CTrayIcon::NextIconFrame() {
  if (frames_.isEmpty()) {
    return false;
  }
  current_frame_ = (current_frame_ + 1) % static_cast<int>(frames_.size());
  return ChangeIcon(frames_[current_frame_]);
}

bool CTrayIcon::StopIconAnimation() {
  const bool was_running = animation_timer_.isActive();
  animation_timer_.stop();
  if (saved_icon_.has_value()) {
    ChangeIcon(*saved_icon_);
    saved_icon_.reset();
  }
  return was_running;
}

bool CTrayIcon::WindowAnimationEnabled() {
  return QApplication::isEffectEnabled(Qt::UI_General);
}

bool CTrayIcon::DetachFromTaskbar(QWidget* window) {
  window->hide();
  return true;
}

QRect CTrayIcon::LocateTrayArea(const QWidget* window) const {
  const QScreen* screen = window != nullptr ? window->screen() : nullptr;
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  if (screen == nullptr) {
    return QRect();
  }
  return TrayAreaFor(shell_->IconGeometry(), screen->geometry(), screen->availableGeometry());
}

void CTrayIcon::HideWindowToTray(QWidget* window, bool force_animation) {
  if (window == nullptr) {
    return;
  }
  if (!enabled_ || removed_) {
    // No icon to come back through: keep the window reachable from the taskbar.
    window->showMinimized();
    return;
  }
  if (force_animation || WindowAnimationEnabled()) {
    animator_(window->frameGeometry(), LocateTrayArea(window));
  }
  DetachFromTaskbar(window);
}

void CTrayIcon::RestoreWindowFromTray(QWidget* window, bool force_animation) {
  if (window == nullptr) {
    return;
  }
  if (!window->isVisible() && (force_animation || WindowAnimationEnabled())) {
    animator_(LocateTrayArea(window), window->frameGeometry());
  }
  window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace qs
