#include "settings_ui/option_tree_editors.h"

#include <QColorDialog>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace qs {

COptionTreeCombo::COptionTreeCombo() = default;

COptionTreeFontNameCombo::COptionTreeFontNameCombo() {
  QStringList families = QFontDatabase::families();
  families.sort(Qt::CaseInsensitive);
  addItems(families);
}

COptionTreeBooleanCombo::COptionTreeBooleanCombo() {
  addItem(kTrue);
  addItem(kFalse);
}

COptionTreeDateCtrl::COptionTreeDateCtrl() {
  setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  setCalendarPopup(true);
}

QString COptionTreeDateCtrl::FormatValue(const QDateTime& value) const {
  return QLocale().toString(value.date(), QLocale::ShortFormat);
}

COptionTreeTimeCtrl::COptionTreeTimeCtrl() {
  setCalendarPopup(false);
  setDisplayFormat(QLocale().timeFormat(QLocale::LongFormat));
}

QString COptionTreeTimeCtrl::FormatValue(const QDateTime& value) const {
  return QLocale().toString(value.time(), QLocale::LongFormat);
}

COptionTreeIPAddressCtrl::COptionTreeIPAddressCtrl() {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) {
      layout->addWidget(new QLabel(QStringLiteral("."), this));
    }
    fields_[i] = new QLineEdit(this);
    fields_[i]->setValidator(new QIntValidator(0, 255, fields_[i]));
    fields_[i]->setAlignment(Qt::AlignCenter);
    layout->addWidget(fields_[i]);
  }
  setFocusProxy(fields_[0]);
}

QString COptionTreeIPAddressCtrl::FormatAddress(quint32 address) const {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(address >> 24)
      .arg((address >> 16) & 0xFF)
      .arg((address >> 8) & 0xFF)
      .arg(address & 0xFF);
}

void COptionTreeIPAddressCtrl::SetAddress(quint32 address) {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
  }
}

bool COptionTreeIPAddressCtrl::GetAddress(quint32& address) const {
  quint32 value = 0;
  for (const QLineEdit* field : fields_) {
    if (!field->hasAcceptableInput()) {
      return false;
    }
    value = (value << 8) | field->text().toUInt();
  }
  address = value;
  return true;
}

COptionTreeEdit::COptionTreeEdit() = default;

int COptionTreeEdit::HeightFor(int text_height) const {
  return std::max(text_height, 20);
}

void COptionTreeEdit::BrowseForFolder() {
  browsing = true;
  const QString folder = QFileDialog::getExistingDirectory(this, FolderCaption(), text());
  browsing = false;
  if (!folder.isEmpty()) {
    setText(folder);
  }
}

void COptionTreeEdit::BrowseForFile() {
  browsing = true;
  COptionTreeFileDialog dialog(tree, FileCaption(), text(), FileFilter());
  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  browsing = false;
  if (chosen) {
    setText(dialog.selectedFiles().constFirst());
  }
}

QString COptionTreeEdit::DisplayText(const QString& full) const {
  const qsizetype end = full.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  return end < 0 ? full : full.left(end) + QStringLiteral("...");
}

CMultiLineEditFrameWnd::CMultiLineEditFrameWnd()
    : QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint), edit_(new QPlainTextEdit(this)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  setFrameShape(QFrame::Box);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(edit_);
}

void CMultiLineEditFrameWnd::focusInEvent(QFocusEvent* event) {
  QFrame::focusInEvent(event);
  edit_->setFocus();
}

COptionTreeSpinCtrl::COptionTreeSpinCtrl()
    : up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {up_, down_}) {
    // Clicks on the arrows leave the focus where it is, so the editor stays open.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(button);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void COptionTreeSpinCtrl::SetBuddy(QLineEdit* buddy) {
  buddy_ = buddy;
  buddy_->installEventFilter(this);
}

void COptionTreeSpinCtrl::Step(int delta) {
  if (buddy_ == nullptr) {
    return;
  }
  const auto [low, high] = Range();
  const int value = std::clamp(buddy_->text().toInt() + delta, low, high);
  buddy_->setText(QString::number(value));
}

bool COptionTreeSpinCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

COptionTreeBrowseButton::COptionTreeBrowseButton() {
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, &COptionTreeBrowseButton::OnClicked);
}

int COptionTreeBrowseButton::ButtonWidth() const {
  const QFontMetrics metrics(font());
  return metrics.horizontalAdvance(QStringLiteral("    ")) + metrics.horizontalAdvance(Caption());
}

bool COptionTreeBrowseButton::BrowseForColour() {
  const QColor chosen = QColorDialog::getColor(colour, tree);
  if (!chosen.isValid()) {
    return false;
  }
  colour = chosen;
  return true;
}

bool COptionTreeBrowseButton::BrowseForFont() {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, chosen_font, tree);
  if (ok) {
    chosen_font = font;
  }
  return ok;
}

void COptionTreeBrowseButton::OnClicked() {
  if (tree == nullptr || line == nullptr) {
    return;
  }
  const OptionItemKind kind = tree->KindOf(line);
  if (frame != nullptr) {
    frame->setFocus();
  } else if (edit != nullptr) {
    if (kind == OptionItemKind::kFileBrowse) {
      edit->BrowseForFile();
    } else if (kind == OptionItemKind::kFolderBrowse) {
      edit->BrowseForFolder();
    } else if (kind == OptionItemKind::kComboBrowse) {
      OtherBrowse();
    }
  } else if (combo != nullptr) {
    if (kind == OptionItemKind::kComboBrowse) {
      OtherBrowse();
    }
  } else if (kind == OptionItemKind::kColour && BrowseForColour()) {
    tree->SetColor(line, colour);
    QTimer::singleShot(0, tree, &COptionTreeCtrl::ReopenEditor);
  } else if (kind == OptionItemKind::kFont && BrowseForFont()) {
    tree->SetFontValue(line, chosen_font);
    QTimer::singleShot(0, tree, &COptionTreeCtrl::ReopenEditor);
  } else if (kind == OptionItemKind::kComboBrowse) {
    OtherBrowse();
  }
}

COptionTreeFileDialog::COptionTreeFileDialog(QWidget* parent, const QString& caption,
                                             const QString& file, const QString& filter)
    : QFileDialog(parent, caption, QString(), filter) {
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  if (!file.isEmpty()) {
    selectFile(file);
  }
  setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
}

}  // namespace qs
