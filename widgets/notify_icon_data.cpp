#include "widgets/notify_icon_data.h"

#include <QStringView>

namespace qs {

QString TruncateToBytes(const QString& text, int buffer_bytes) {
  const int limit = buffer_bytes - 1;
  int used = 0;
  qsizetype end = 0;
  while (end < text.size()) {
    const bool pair =
        text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
    const qsizetype length = pair ? 2 : 1;
    const int bytes = static_cast<int>(QStringView(text).mid(end, length).toUtf8().size());
    if (used + bytes > limit) {
      break;
    }
    used += bytes;
    end += length;
  }
  return text.left(end);
}

}  // namespace qs
