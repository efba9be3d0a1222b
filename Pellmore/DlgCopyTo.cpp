#include "DlgCopyTo.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "Session.h"
#include "plat/controlid.h"

namespace pellmore {

CDlgCopyTo::CDlgCopyTo(QWidget* owner, int channelCount, CopyToCallback callback)
    : QDialog(owner), callback_(std::move(callback)) {
  plat::Named(this, 4021);
  setWindowTitle(LoadLangString(4050));
  auto* l = new QVBoxLayout(this);
  l->addWidget(MakeLabel(this, 4170, LoadLangString(4060)));
  list_ = Named(new QListWidget(this), 4166);
  const QString channel = LoadLangString(4051);
  for (int i = 0; i < channelCount; ++i) {
    auto* row = new QListWidgetItem(QStringLiteral("%1%2").arg(channel).arg(i + 1, 2, 10,
                                                                             QLatin1Char('0')),
                                    list_);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(Qt::Unchecked);
  }
  l->addWidget(list_, 1);
  all_ = Named(new QCheckBox(LoadLangString(4061), this), 4167);
  l->addWidget(all_);
  auto* buttons = new QHBoxLayout;
  auto* ok = Named(new QPushButton(LoadLangString(4062), this), 4168);
  auto* cancel = Named(new QPushButton(LoadLangString(4063), this), 4169);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  l->addLayout(buttons);
  connect(all_, &QCheckBox::clicked, this, [this] { OnSelectAll(); });
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgCopyTo::OnSelectAll() {
  const Qt::CheckState s = all_->isChecked() ? Qt::Checked : Qt::Unchecked;
  for (int i = 0; i < list_->count(); ++i) list_->item(i)->setCheckState(s);
}

void CDlgCopyTo::OnOK() {
  std::set<int> chosen;
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->checkState() == Qt::Checked) chosen.insert(i);
  if (callback_) callback_(chosen);
  accept();
}

}  // namespace pellmore
