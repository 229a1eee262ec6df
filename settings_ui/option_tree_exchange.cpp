#include "settings_ui/option_tree_exchange.h"

#include <cstdlib>

#include "settings_ui/option_tree_editors.h"

namespace qs {

int LeadingNumber(const QString& text) {
  return std::atoi(text.toLocal8Bit().constData());
}

void ExchangeTreeCheck(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member) {
  if (saving) {
    bool ticked = false;
    if (tree.GetCheckState(item, ticked)) {
      member = ticked ? 1 : 0;
    }
  } else {
    tree.SetCheckState(item, member == 1);
  }
}

void ExchangeTreeRadio(bool saving, COptionTreeCtrl& tree, OptionLine group, int& member) {
  if (saving) {
    OptionLine chosen = nullptr;
    tree.GetChosenRadio(group, member, chosen);
  } else {
    tree.SelectRadioButtonByIndex(group, member);
  }
}

void ExchangeTreeText(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member) {
  if (saving) {
    member = tree.GetValueText(item);
  } else {
    tree.SetValueText(item, member);
  }
}

void ExchangeTreeNumber(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member) {
  if (saving) {
    member = LeadingNumber(tree.GetValueText(item));
  } else {
    tree.SetValueText(item, QString::number(member));
  }
}

void ExchangeTreeCombo(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member) {
  ExchangeTreeText(saving, tree, item, member);
}

void ExchangeTreeBrowse(bool saving, COptionTreeCtrl& tree, OptionLine item, QString& member) {
  if (!saving || tree.IsFileBrowse(item) || tree.IsFolderBrowse(item)) {
    ExchangeTreeText(saving, tree, item, member);
  }
}

void ExchangeTreeColor(bool saving, COptionTreeCtrl& tree, OptionLine item, QColor& member) {
  if (saving) {
    member = tree.GetColor(item);
  } else {
    tree.SetColor(item, member);
  }
}

void ExchangeTreeFont(bool saving, COptionTreeCtrl& tree, OptionLine item, QFont& member) {
  if (saving) {
    member = tree.GetFontValue(item);
  } else {
    tree.SetFontValue(item, member);
  }
}

void ExchangeTreeDateTime(bool saving, COptionTreeCtrl& tree, OptionLine item, QDateTime& member) {
  if (saving) {
    member = tree.GetDateTime(item);
  } else {
    tree.SetDateTime(item, member);
  }
}

void ExchangeTreeIPAddress(bool saving, COptionTreeCtrl& tree, OptionLine item, quint32& member) {
  if (saving) {
    member = tree.GetIPAddress(item);
  } else {
    tree.SetIPAddress(item, member);
  }
}

void ExchangeTreeBoolean(bool saving, COptionTreeCtrl& tree, OptionLine item, int& member) {
  if (saving) {
    member = tree.GetValueText(item) == COptionTreeBooleanCombo::kTrue ? 1 : 0;
  } else {
    tree.SetValueText(
        item, member != 0 ? COptionTreeBooleanCombo::kTrue : COptionTreeBooleanCombo::kFalse);
  }
}

}  // namespace qs
