// The drop list of a choice cell: a popup list of the cell's choices. It leaves the cell to
// its owner and reports what the user does: moving the selection by key previews an entry,
// Enter or a click commits one, Escape or closing the popup (a click elsewhere) cancels.
#pragma once

#include <QListWidget>

namespace qs {

class CChoiceDropList : public QListWidget {
  Q_OBJECT

 public:
  explicit CChoiceDropList(QWidget* owner);

  // Shows `entries` with `selected` current in `area` (screen coordinates), its height cut to
  // a whole number of rows.
  void Open(const QStringList& entries, int selected, const QRect& area);

 signals:
  void Previewed(const QString& text);
  void Committed(const QString& text);
  void Cancelled();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool JumpToLetter(const QString& typed);

  bool finished_ = false;
};

}  // namespace qs
