#include "DlgVerInfo.h"

#include <QGridLayout>
#include <QLineEdit>

#include "Controls.h"
#include "Session.h"
#include "plat/bytes.h"

namespace pellmore {

QString SoftwareVersionText(uint32_t v, uint32_t build) {
  const int b1 = static_cast<int>(build >> 16), b2 = static_cast<int>((build >> 8) & 0xFF),
            b3 = static_cast<int>(build & 0xFF);
  QString s = (v >> 24) != 0
                  ? QString::asprintf("V%d.%d.%d build %02d%02d%02d", static_cast<int>(v >> 24),
                                      static_cast<int>((v >> 16) & 0xFF),
                                      static_cast<int>(v & 0xFFFF), b1, b2, b3)
                  : QString::asprintf("V%d.%d build %02d%02d%02d", static_cast<int>(v >> 16),
                                      static_cast<int>(v & 0xFFFF), b1, b2, b3);
  return s.left(63);
}

CDlgVerInfo::CDlgVerInfo(QWidget* parent) : ConfigPage(parent) {
  auto* g = new QGridLayout(this);
  auto field = [this](int id) {
    auto* e = Named(new QLineEdit(this), id);
    e->setReadOnly(true);
    e->setEnabled(false);
    return e;
  };
  software_ = field(4004);
  hardware_ = field(4005);
  panel_ = field(4006);
  g->addWidget(MakeLabel(this, 4007, LoadLangString(4039)), 0, 0);
  g->addWidget(software_, 0, 1);
  g->addWidget(MakeLabel(this, 4008, LoadLangString(4040)), 1, 0);
  g->addWidget(hardware_, 1, 1);
  g->addWidget(MakeLabel(this, 4009, LoadLangString(4041)), 2, 0);
  g->addWidget(panel_, 2, 1);
  FormColumns(g);
  g->setRowStretch(3, 1);
}

void CDlgVerInfo::Load(PageContext& context) {
  const uint8_t* r = context.records->device.data();
  ShowVersions(plat::getLe32(r + kSoftwareVersionAt), plat::getLe32(r + kSoftwareBuildAt),
               plat::getLe32(r + kHardwareVersionAt), plat::getLe32(r + kPanelVersionAt));
}

void CDlgVerInfo::ShowVersions(uint32_t software, uint32_t build, uint32_t hardware,
                               uint32_t panel) {
  software_->setText(SoftwareVersionText(software, build));
  hardware_->setText(QString::asprintf("0x%x", hardware).left(63));
  panel_->setText(QString::asprintf("V%d", static_cast<int>(panel)).left(63));
}

PELLMORE_REGISTER_PAGE(CDlgVerInfo, 0x2)

}  // namespace pellmore
