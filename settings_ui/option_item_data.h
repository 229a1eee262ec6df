// The record the option tree keeps for each of its option lines: the line's kind, the classes of
// its in-place editor and companion, and the typed values some kinds hold.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>
#include <QtGlobal>

class QWidget;

namespace qs {

enum class OptionItemKind {
  kPlain = 0,
  kGroup = 1,
  kSpinEdit = 2,
  kFileBrowse = 3,
  kFolderBrowse = 4,
  kColour = 5,
  kFont = 6,
  kCheckBox = 7,
  kRadio = 8,
  kCombo = 9,
  kEdit = 10,
  kDateTime = 11,
  kIPAddress = 12,
  kComboBrowse = 13,
};

// An editor class, as the tree names it in a record: it makes a new object of that class. The
// tree tells the families apart once the object exists.
using OptionEditorClass = QWidget* (*)();

template <class T>
QWidget* CreateOptionEditor() {
  return new T;
}

// RUNTIME_CLASS in the design's sense: RuntimeClass<CCommandEdit>().
template <class T>
constexpr OptionEditorClass RuntimeClass() {
  return &CreateOptionEditor<T>;
}

struct OptionItemData {
  OptionEditorClass editor_class = nullptr;
  OptionEditorClass companion_class = nullptr;  // an up-down control or a browse button
  OptionItemKind kind = OptionItemKind::kPlain;
  quintptr user_data = 0;
  QColor colour = QColor(255, 0, 0);
  QFont font;
  QDateTime date_time;
  quint32 ip_address = 0;  // first octet in the high byte
  bool show_colour = true;
  bool enabled = true;
  bool selected = false;  // ticked / chosen
  bool shaded = false;
  QString full_text;  // a multi-line line's whole text
};

}  // namespace qs
