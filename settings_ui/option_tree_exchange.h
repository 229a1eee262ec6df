// Moving values between an option tree's lines and a dialog's members, in either direction:
// saving reads the line into the member, loading writes the member into the line.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>

#include "settings_ui/option_tree_ctrl.h"

namespace qs {

// A check box as 0 or 1.
void ExchangeTreeCheck(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member);
// The position of the chosen radio button among the first children of `group`; -1 for none.
void ExchangeTreeRadio(bool saving, COptionTreeCtrl& tree, OptionLine group, int& member);
void ExchangeTreeText(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member);
// The value text as a number: leading digits when saving ("12s" is 12, "x" is 0).
void ExchangeTreeNumber(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member);
void ExchangeTreeCombo(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member);
// A file or folder line's path.
void ExchangeTreeBrowse(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member);
void ExchangeTreeColor(bool saving, COptionTreeCtrl& tree, OptionLine item, QColor& member);
void ExchangeTreeFont(bool saving, COptionTreeCtrl& tree, OptionLine item, QFont& member);
void ExchangeTreeDateTime(bool saving, COptionTreeCtrl& tree, OptionLine item, QDateTime& member);
void ExchangeTreeIPAddress(bool saving, COptionTreeCtrl& tree, OptionLine item, quint32& member);
// 1 exactly when the value text is "True" (case counts); loading writes "True" or "False".
void ExchangeTreeBoolean(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member);

// atoi: the leading decimal number of `text` (after blanks, with a sign), 0 when there is none.
int LeadingNumber(const QString& text);

}  // namespace qs
