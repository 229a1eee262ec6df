// How CCellListCtrl draws one cell of each kind. The geometry is fixed to the pixel (a check
// box 9 pixels in, a progress frame with a grey interior and a two-colour label), so that the
// list looks the same whatever the style.
#pragma once

#include <QColor>
#include <QRect>
#include <Qt>

class QPainter;
class QString;

namespace qs {

class ImageList;
struct ListCellData;
struct SysColours;

struct CellColours {
  QColor text;
  QColor back;
};

struct SelectionLook {
  bool selected = false;
  bool full_row_select = false;
  bool focused = false;  // the list has the keyboard focus
  bool show_selection_always = false;
};

// Colours of a text, image or check cell: highlight while selected and focused; without the
// focus either button face (the selection stays visible) or the colours given (it does not).
CellColours GetCellColours(const SelectionLook& look, int column, const CellColours& given,
                           const SysColours& colours);

// The label of a progress cell: `format` with the percentage as its one integer argument
// ("%d", "%i", with flags and width), "%%" for a percent sign; "%d%%" when `format` is empty.
// Other conversions are copied as they stand rather than read an argument that is not there.
QString FormatProgressLabel(const QString& format, int percent);

// Frame, grey interior, bar and label; selection does not change the look.
void PaintProgressCell(QPainter& painter, const QRect& cell, const ListCellData& data,
                       const CellColours& colours, const SysColours& sys);

// `colours` already went through GetCellColours. A disabled row ticks in grey.
void PaintCheckCell(QPainter& painter, const QRect& cell, int check_state, const QString& text,
                    bool row_enabled, const CellColours& colours, const SysColours& sys);

// Fills the cell and draws the text into all of it; `alignment` is left, centre or right.
void PaintCellText(QPainter& painter, const QRect& cell, const QString& text,
                   Qt::Alignment alignment, bool bold, const CellColours& colours);

// Fills the cell and draws image `image` `spacing` pixels in, centred vertically. Answers the
// width the text must skip (image width + spacing), 0 when no image was drawn.
int PaintCellImage(QPainter& painter, const QRect& cell, const ImageList* images, int image,
                   int spacing, const CellColours& colours);

}  // namespace qs
