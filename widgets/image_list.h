// Icons addressed by index, shown before the text of a list's cells (the watch list's folder
// icon).
#pragma once

#include <QIcon>
#include <vector>

namespace qs {

class ImageList {
 public:
  // Answers the new icon's index.
  int Add(const QIcon& icon) {
    icons_.push_back(icon);
    return Count() - 1;
  }
  int Count() const { return static_cast<int>(icons_.size()); }
  // A null icon for an index that is not in the list.
  QIcon Icon(int index) const {
    return index >= 0 && index < Count() ? icons_[static_cast<std::size_t>(index)] : QIcon();
  }

 private:
  std::vector<QIcon> icons_;
};

}  // namespace qs
