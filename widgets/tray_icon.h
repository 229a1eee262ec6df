// The program's icon in the notification area: shown, hidden and kept across tray restarts,
// a tooltip and balloons within the tray's limits, a popup menu on right click and the
// default command on double click, icon animation, and moving a window into and out of the
// tray. Where the desktop has no tray, hiding a window minimises it instead, so it can never
// be lost. GUI thread only.
#pragma once

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "widgets/notify_icon_data.h"
#include "widgets/tray_shell.h"

namespace qs {

class CTrayIcon : public QObject {
  Q_OBJECT

 public:
  using MenuLoader = std::function<std::unique_ptr<QMenu>(unsigned menu_id)>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  using Animator = std::function<void(const QRect& from, const QRect& to)>;

  // `main_window` gets the commands while no command target is set. Without a shell the icon
  // lives in QSystemTrayIcon.
  explicit CTrayIcon(QWidget* main_window = nullptr, std::unique_ptr<TrayShell> shell = nullptr);
  ~CTrayIcon() override;

  // Adds the icon (unless `start_hidden`). False when the desktop has no tray or the add fails
  // (it is then retried when the tray comes back).
  bool CreateTray(QWidget* parent, unsigned callback_message, const QString& tip, const QIcon& icon,
                  unsigned id, bool start_hidden = false, const QString& balloon_text = {},
                  const QString& balloon_title = {}, unsigned balloon_icon = 0,
                  unsigned balloon_seconds = 10);
  // The tray object counts as created from CreateTray until DestroyTrayWindow.
  bool TrayWindowExists() const { return window_exists_; }
  // Takes the icon out of the tray and ends the tray object.
  void DestroyTrayWindow();

  bool AddTrayIcon();
  bool RemoveTrayIcon();
  bool HideTrayIcon();
  bool ShowTrayIcon();

  bool ChangeIcon(const QIcon& icon);
  // An icon from the program's resources, e.g. ":/icons/tray.svg"; false if it does not load.
  bool ChangeIcon(const QString& resource);
  bool ChangeIcon(QStyle::StandardPixmap standard);
  QIcon CurrentIcon() const;

  // At most 127 bytes of the text are kept.
  bool SetTipText(const QString& text);
  QString GetTipText() const;
  // Text up to 255 bytes, title up to 63.
  bool PopBalloon(const QString& text, const QString& title = {}, unsigned icon = 0,
                  unsigned seconds = 10);

  bool SetNotifyWindow(QObject* window);
  QObject* GetNotifyWindow() const { return data_.window; }
  bool SetCallbackMsg(unsigned message);
  unsigned GetCallbackMsg() const { return data_.callback_message; }

  // The menu item shown bold and sent on a double click: a command id, or a position.
  bool SetDefaultMenuItem(unsigned item, bool by_position);
  void GetDefaultMenuItem(unsigned* item, bool* by_position) const;
  bool SetCommandTarget(QWidget* target);
  QWidget* CommandTarget() const;
  bool FocusTrayIcon();

  bool SetIconFrames(const QList<QIcon>& frames);
  // Steps through the frames every `step_ms`; after more than `period_s` whole seconds (0: no
  // limit) it stops and shows the icon from before.
  bool StartIconAnimation(int step_ms, unsigned period_s = static_cast<unsigned>(-1));
  bool NextIconFrame();
  bool StopIconAnimation();

  void HideWindowToTray(QWidget* window, bool force_animation);
  void RestoreWindowFromTray(QWidget* window, bool force_animation);
  QRect LocateTrayArea(const QWidget* window = nullptr) const;
  static bool WindowAnimationEnabled();
  // Hiding a top-level window takes its button off the taskbar.
  static bool DetachFromTaskbar(QWidget* window);

  // The mouse events of the icon; answers false when ignored.
  virtual bool OnNotifyIcon(unsigned id, TrayMouseEvent event);
  // The tray came back (a panel restart), or the work area changed: re-add a visible icon
  // whose add is owed.
  void OnTaskbarCreated();
  void OnWorkAreaChanged();

  // The open tray menu, if any.
  QMenu* PopupMenu() const { return popup_menu_; }
  const NotifyIconData& NotifyData() const { return data_; }
  bool IsEnabled() const { return enabled_; }
  bool IsHidden() const { return hidden_; }
  bool IsRemoved() const { return removed_; }
  bool IsAddPending() const { return add_pending_; }

  void SetMenuLoader(MenuLoader loader) { menu_loader_ = std::move(loader); }
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  void SetAnimator(Animator animator) { animator_ = std::move(animator); }

 signals:
  // A command for the command target (a menu choice or the double click), always posted.
  void TrayCommand(unsigned command);

 protected:
  // Called just before the tray menu opens.
  virtual void AdjustPopupMenu(QMenu* menu);
  // The animation timer's tick.
  void OnAnimationTimer();

 private:
  bool TellShell();
  void RetryPendingAdd();
  void PostCommand(unsigned command);
  void ApplyDefaultItem(QMenu* menu) const;
  static void BringToForeground(QWidget* window);

  std::unique_ptr<TrayShell> shell_;
  NotifyIconData data_;
  bool enabled_ = false;
  bool hidden_ = true;
  bool removed_ = true;
  bool add_pending_ = false;
  bool window_exists_ = false;
  QPointer<QWidget> main_window_;
  QPointer<QWidget> command_target_;
  QList<QIcon> frames_;
  QTimer animation_timer_;
  int current_frame_ = 0;
  std::chrono::steady_clock::time_point animation_start_;
  unsigned animation_period_ = 0;
  std::optional<QIcon> saved_icon_;
  unsigned default_item_ = 0;
  bool default_by_position_ = true;
  unsigned creation_flags_ = 0;
  QPointer<QMenu> popup_menu_;
  MenuLoader menu_loader_;
  Clock clock_;
  Animator animator_;
};

}  // namespace qs
