#include "DlgTime.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "RecNet.h"
#include "Session.h"
#include "plat/bytes.h"

namespace pellmore {

std::array<uint8_t, 24> TimeRecord(const std::tm& t) {
  std::array<uint8_t, 24> r{};
  const uint32_t v[6] = {static_cast<uint32_t>(t.tm_year + 1900), static_cast<uint32_t>(t.tm_mon + 1),
                         static_cast<uint32_t>(t.tm_mday),        static_cast<uint32_t>(t.tm_hour),
                         static_cast<uint32_t>(t.tm_min),         static_cast<uint32_t>(t.tm_sec)};
  for (size_t i = 0; i < 6; ++i) plat::putLe32(&r[4 * i], v[i]);
  return r;
}

CDlgTime::CDlgTime(QWidget* parent) : ConfigPage(parent) {
  auto* l = new QVBoxLayout(this);
  auto* sync = Named(new QPushButton(LoadLangString(4213), this), 4667);
  l->addWidget(sync, 0, Qt::AlignLeft);
  l->addStretch(1);
  connect(sync, &QPushButton::clicked, this, [this] { OnSyncTime(); });
}

void CDlgTime::OnSyncTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (!exchange_) return;
  exchange_([r = TimeRecord(local)](int32_t login) {
    RecNet_WriteConfig(login, kTimeWrite, 0, r.data(), static_cast<uint32_t>(r.size()));
  });
}

PELLMORE_REGISTER_PAGE(CDlgTime, 0x20000)

}  // namespace pellmore
