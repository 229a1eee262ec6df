#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/app_icons.h"
#include "app/dialog_units.h"
#include "platform/version_info.h"

namespace qs {

namespace {

QLabel* MakeLabel(QWidget* parent, const DialogUnits& units, const QString& text,
                  const QRect& rect) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(units.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent, std::string file_name) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Quarrystream"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogUnits units(font());
  setFixedSize(units.Size(235, 55));

  // An icon control takes the icon's own size, whatever its rectangle says.
  auto* icon = new QLabel(this);
  icon->setPixmap(WindowIconPixmap(32));
  icon->setGeometry(units.X(11), units.Y(17), 32, 32);

  MakeLabel(this, units, QStringLiteral("Quarrystream version:"), QRect(40, 10, 86, 8));
  version_ = MakeLabel(this, units, QString(), QRect(128, 10, 44, 8));
  MakeLabel(this, units, QStringLiteral("Verifies finished archive sets"), QRect(40, 25, 119, 8));
  MakeLabel(this, units, QStringLiteral("Build:"), QRect(181, 40, 18, 8));
  build_ = MakeLabel(this, units, QString(), QRect(206, 40, 22, 8));

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(units.Rect(178, 7, 50, 14));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  OnInitDialog(file_name);
}

void AboutDialog::OnInitDialog(const std::string& file_name) {
  VersionInfo info(file_name);
  info.Load();  // a failure leaves 0.0.0.0, which is what the box then shows
  const QString text = QString::fromStdString(info.FileVersionText());
  const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
  build_->setText(text.mid(dot + 1));
  version_->setText(text.left(dot));
}

QString AboutDialog::VersionText() const {
  return version_->text();
}

QString AboutDialog::BuildText() const {
  return build_->text();
}

}  // namespace qs
