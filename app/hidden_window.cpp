#include "app/hidden_window.h"

#include <QSocketNotifier>

#include "config/user_messages.h"

namespace qs {

HiddenWindow::HiddenWindow(Target target, UserMessages& messages)
    : target_(std::move(target)), messages_(messages) {}

HiddenWindow::~HiddenWindow() {
  Destroy();
}

bool HiddenWindow::Create(const std::string& socket_path) {
  if (Exists()) {
    return false;
  }
  if (!server_.Listen(socket_path)) {
    messages_.ShowMessage("Critical error on making the Mirrowen hidden window!",
                          kApplicationTitle);
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(server_.ListenFd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &HiddenWindow::OnReadable);
  return true;
}

void HiddenWindow::Close() {
  if (target_.close) {
    target_.close();
  }
  Destroy();
}

void HiddenWindow::Destroy() {
  if (notifier_ != nullptr) {
    notifier_->setEnabled(false);
    // Inside OnReadable the notifier is still emitting: let the event loop delete it.
    if (handling_) {
      notifier_.release()->deleteLater();
    } else {
      notifier_.reset();
    }
  }
  server_.Close();
}

// One sender at a time: while its command is handled (a folder browser may be open for long)
// the door stays shut and later senders wait in the socket's backlog, each blocked until its
// own answer, as synchronous sends queue up.
void HiddenWindow::OnReadable() {
  notifier_->setEnabled(false);
  std::string message;
  PendingReply reply;
  handling_ = true;
  if (server_.AcceptOne(message, reply)) {
    // The sender's text ends at its first zero, as the receiver of a zero-terminated text reads
    // it.
    message.resize(std::string(message.c_str()).size());
    if (target_.copy_data) {
      target_.copy_data(message);
    }
    reply.Reply();
  }
  handling_ = false;
  // The handler may have closed the door (a quit from the folder browser's loop).
  if (notifier_ != nullptr) {
    notifier_->setEnabled(true);
  }
}

}  // namespace qs
