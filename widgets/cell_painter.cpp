#include "widgets/cell_painter.h"

#include <QFont>
#include <QPainter>
#include <QString>
#include <algorithm>

#include "widgets/gdi_paint.h"
#include "widgets/image_list.h"
#include "widgets/list_cell_data.h"
#include "widgets/sys_colours.h"

namespace qs {
namespace {

constexpr int kLabelFlags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;

GdiRect Normalised(const GdiRect& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
          std::max(r.top, r.bottom)};
}

void DrawClippedLabel(QPainter& painter, const GdiRect& clip, const GdiRect& text_rect,
                      const QString& label, const QColor& colour) {
  const GdiRect area = Normalised(clip);
  if (area.Width() == 0 || area.Height() == 0) {
    return;
  }
  painter.save();
  painter.setClipRect(area.ToQRect());
  painter.setPen(colour);
  painter.drawText(text_rect.ToQRect(), kLabelFlags, label);
  painter.restore();
}

}  // namespace

CellColours GetCellColours(const SelectionLook& look, int column, const CellColours& given,
                           const SysColours& colours) {
  if (!look.selected || !(look.full_row_select || column == 0)) {
    return given;
  }
  if (look.focused) {
    return {colours.highlight_text, colours.highlight};
  }
  if (look.show_selection_always) {
    return {colours.window_text, colours.button_face};
  }
  return given;
}

QString FormatProgressLabel(const QString& format, int percent) {
  const QString pattern = format.isEmpty() ? QStringLiteral("%d%%") : format;
  QString label;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != u'%') {
      label += pattern[i];
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
      label += u'%';
      ++i;
      continue;
    }
    qsizetype j = i + 1;
    bool left_align = false;
    bool zero_pad = false;
    for (; j < pattern.size() && (pattern[j] == u'-' || pattern[j] == u'0'); ++j) {
      (pattern[j] == u'-' ? left_align : zero_pad) = true;
    }
    int width = 0;
    for (; j < pattern.size() && pattern[j].isDigit() && width < 1000; ++j) {
      width = width * 10 + pattern[j].digitValue();
    }
    if (j < pattern.size() && (pattern[j] == u'd' || pattern[j] == u'i')) {
      QString number = QString::number(percent);
      if (zero_pad && !left_align && percent < 0) {
        number = u'-' + number.mid(1).rightJustified(width - 1, u'0');
      } else if (left_align) {
        number = number.leftJustified(width, u' ');
      } else {
        number = number.rightJustified(width, zero_pad ? u'0' : u' ');
      }
      label += number;
      i = j;
      continue;
    }
    label += u'%';  // not a conversion we fill: copied literally
  }
  return label;
}

void PaintProgressCell(QPainter& painter, const QRect& cell, const ListCellData& data,
                       const CellColours& colours, const SysColours& sys) {
  GdiRect r = GdiRect::FromQRect(cell);
  const int left = r.left + 1;
  const int top = r.top;
  const int right = r.right - 2;
  const int bottom = r.bottom - 1;

  DrawLine(painter, left, bottom, right + 1, bottom, sys.button_shadow);
  DrawLine(painter, left, top, right, top, sys.button_shadow);
  DrawLine(painter, left, top, left, bottom, sys.button_shadow);
  DrawLine(painter, right, top, right, bottom, sys.button_shadow);
  FillSolidRect(painter, {left + 1, top + 1, right, bottom}, QColor(224, 224, 224));
  DrawLine(painter, left + 1, top + 1, right, top + 1, QColor(0, 0, 0));
  DrawLine(painter, left + 1, top + 1, left + 1, bottom, QColor(0, 0, 0));

  if (data.percent < 0) {
    return;
  }
  const int interior = right - (left + 2);
  const GdiRect bar{left + 2, top + 2, (left + 2) + interior * data.percent / 100, bottom};
  FillSolidRect(painter, bar, sys.highlight);
  const GdiRect rest{bar.right + 1, top + 2, right, bottom};

  if (!data.progressTextShown) {
    return;
  }
  const QString label = FormatProgressLabel(data.progressFormat, data.percent);
  const GdiRect text_rect{left + 1, top + 2, right - 1, bottom - 1};
  DrawClippedLabel(painter, bar, text_rect, label, colours.back);
  DrawClippedLabel(painter, rest, text_rect, label, colours.text);
}

void PaintCheckCell(QPainter& painter, const QRect& cell, int check_state, const QString& text,
                    bool row_enabled, const CellColours& colours, const SysColours& sys) {
  const GdiRect c = GdiRect::FromQRect(cell);
  FillSolidRect(painter, c, colours.back);

  const int top = c.top;
  const int bottom = c.bottom - 1;
  const int side = bottom - top;
  int left = text.isEmpty() ? c.left + c.Width() / 2 - side / 2 - 1 : c.left + 9;
  const int right = left + side;
  FillSolidRect(painter, {left, top, right, bottom}, sys.window);
  ++left;
  DrawEdgeSunken(painter, {left, top, right, bottom}, sys);

  if (check_state == 1) {
    const QColor tick = row_enabled ? QColor(0, 0, 0) : sys.gray_text;
    static constexpr int kStrokes[7][2] = {{9, 3}, {8, 4}, {7, 5}, {6, 6}, {5, 7}, {4, 6}, {3, 5}};
    for (const auto& stroke : kStrokes) {
      const int x = left + stroke[0];
      const int y = top + stroke[1];
      DrawLine(painter, x, y, x, y + 3, tick);
    }
  }

  if (!text.isEmpty()) {
    painter.setPen(colours.text);
    painter.drawText(GdiRect{right + 4, c.top, c.right, c.bottom}.ToQRect(),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
}

void PaintCellText(QPainter& painter, const QRect& cell, const QString& text,
                   Qt::Alignment alignment, bool bold, const CellColours& colours) {
  FillSolidRect(painter, GdiRect::FromQRect(cell), colours.back);
  if (text.isEmpty()) {
    return;
  }
  const QFont old_font = painter.font();
  if (bold) {
    QFont bold_font = old_font;
    bold_font.setWeight(QFont::Bold);
    painter.setFont(bold_font);
  }
  painter.setPen(colours.text);
  painter.drawText(cell, static_cast<int>(alignment) | Qt::AlignVCenter | Qt::TextSingleLine, text);
  painter.setFont(old_font);
}

int PaintCellImage(QPainter& painter, const QRect& cell, const ImageList* images, int image,
                   int spacing, const CellColours& colours) {
  GdiRect r = GdiRect::FromQRect(cell);
  FillSolidRect(painter, r, colours.back);
  r.left += spacing;
  if (images == nullptr || image == -1) {
    return 0;
  }
  const QSize size = images->ImageInfo(image);
  if (image >= 0 && r.Width() > 0) {
    const int y = (r.top + r.bottom) / 2 - size.height() / 2;
    images->Draw(painter, image, QPoint(r.left, y),
                 QSize(std::min(r.Width(), size.width()), std::min(r.Height(), size.height())));
  }
  return size.width() + spacing;
}

}  // namespace qs
