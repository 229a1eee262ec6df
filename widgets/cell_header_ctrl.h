// The column header of CCellListCtrl. A section whose model header data has a check state
// (Qt::CheckStateRole) shows the style's check box at its left and its caption in the rest;
// a click on such a section is reported as CheckBoxClicked. Other sections are the style's
// ordinary header sections.
#pragma once

#include <QHeaderView>

namespace qs {

class CCellHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CCellHeaderCtrl(QWidget* parent = nullptr);

  // Where the section's check box lies, in header coordinates; empty for a section without one.
  QRect CheckBoxRect(int logical) const;

 signals:
  void CheckBoxClicked(int logical);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical) const override;

 private:
  bool HasCheckBox(int logical) const;
  QRect BoxIn(const QRect& section) const;
};

}  // namespace qs
