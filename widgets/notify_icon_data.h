// The notification icon as last told to the tray: which fields a call carries, the icon, the
// tooltip and the balloon, with the byte limits of the tray's fixed text buffers.
#pragma once

#include <QIcon>
#include <QString>

class QObject;

namespace qs {

// Fields a call carries (NotifyIconData::flags).
inline constexpr unsigned kNifMessage = 0x1;
inline constexpr unsigned kNifIcon = 0x2;
inline constexpr unsigned kNifTip = 0x4;
inline constexpr unsigned kNifState = 0x8;
inline constexpr unsigned kNifInfo = 0x10;

inline constexpr unsigned kNisHidden = 0x1;

// Buffer sizes in bytes, terminator included.
inline constexpr int kTipBytes = 128;
inline constexpr int kInfoBytes = 256;
inline constexpr int kInfoTitleBytes = 64;

struct NotifyIconData {
  QObject* window = nullptr;  // receives the icon's mouse notifications
  unsigned id = 0;            // icon id, also the tray menu's id
  unsigned flags = 0;
  unsigned callback_message = 0;
  QIcon icon;
  QString tip;
  unsigned state = 0;
  unsigned state_mask = 0;
  QString info;  // balloon text
  unsigned timeout_ms = 0;
  QString info_title;
  unsigned info_flags = 0;  // balloon icon: 0 none, 1 information, 2 warning, 3 error
};

// The longest prefix of `text` whose UTF-8 form fits `buffer_bytes` with a terminator; a
// character is never split.
QString TruncateToBytes(const QString& text, int buffer_bytes);

}  // namespace qs
