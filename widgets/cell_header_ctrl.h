// The column header of CCellListCtrl: flat button-face items with an image at the left (the
// list uses it for a column's header check box), an optional bitmap at the right, a blue
// caption centred in the rest, and etched dividers, painted off-screen.
#pragma once

#include <QHeaderView>
#include <QPixmap>
#include <QSize>
#include <QString>

#include "widgets/sys_colours.h"

namespace qs {

class ImageList;
struct GdiRect;

class CCellHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  // Header data roles of the model that carry an item's image index (0 none), right-hand
  // bitmap (QPixmap) and owner-draw flag.
  static constexpr int kImageRole = Qt::UserRole + 0x4801;
  static constexpr int kBitmapRole = Qt::UserRole + 0x4802;
  static constexpr int kOwnerDrawRole = Qt::UserRole + 0x4803;

  struct Item {
    int width = 0;
    QString text;
    bool has_text = false;
    int image = 0;
    QPixmap bitmap;
    bool owner_draw = false;
  };

  explicit CCellHeaderCtrl(QWidget* parent = nullptr);

  // 1: item spacing; 3: widen the layout; 2 and 4: stored only. Answers false for others.
  bool SetHeaderValue(int index, int value);
  int HeaderValue(int index) const;
  int ItemSpacing() const { return item_spacing_; }

  // Not owned; the list shares its own image list here.
  void SetImageList(const ImageList* images);
  const ImageList* GetImageList() const { return images_; }
  QSize ImageSize() const { return image_size_; }

  Item GetItem(int logical) const;
  QRect GetItemRect(int logical) const;
  // 0 also for a column that does not exist.
  int GetItemImage(int logical) const;
  bool SetItemImage(int logical, int image);

  void SetDoubleBuffered(bool on) { double_buffered_ = on; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Entry for owner-drawn items; draws nothing, leaving the face colour.
  virtual void DrawItem(QPainter& painter, int logical, const QRect& rect);
  // Paints one item that is not owner-drawn into `rect` (already inside the item spacing).
  virtual void PaintItem(QPainter& painter, GdiRect rect, const Item& item);

 private:
  void PaintHeader(QPainter& painter);
  int PaintItemImage(QPainter& painter, const GdiRect& rect, const Item& item, bool at_right);
  int PaintItemBitmap(QPainter& painter, const GdiRect& rect, const Item& item, bool at_right);
  void PaintItemText(QPainter& painter, const GdiRect& rect, const Item& item);

  bool double_buffered_ = true;
  int item_spacing_ = 6;
  QSize image_size_{0, 0};
  bool widen_layout_ = false;
  int value2_ = 0;
  int value4_ = 0;
  SysColours colours_;
  const ImageList* images_ = nullptr;
};

}  // namespace qs
