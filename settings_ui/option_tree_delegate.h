// Draws the option tree's lines: the style draws the line, then a check box or radio line gets
// the style's indicator (themed) or a plain frame (unthemed) in its image place, and a colour
// line a swatch of its colour. Palette colours only.
#pragma once

#include <QStyledItemDelegate>

namespace qs {

class COptionTreeCtrl;

class OptionTreeDelegate final : public QStyledItemDelegate {
 public:
  explicit OptionTreeDelegate(COptionTreeCtrl* tree);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // Where the line's image sits inside `rect` (the line's visual rectangle).
  QRect IconSpan(const QWidget& view, const QModelIndex& index, const QRect& rect) const;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

 private:
  void DrawPlainBox(QPainter* painter, const QRect& box, const QPalette& palette, bool radio,
                    bool ticked, bool enabled) const;

  COptionTreeCtrl* tree_;
};

}  // namespace qs
