#pragma once
// "Version Information": the software, hardware and panel version words of the device.
#include <QString>
#include <cstdint>

#include "PageRegistry.h"

class QLineEdit;

namespace pellmore {

// "V%d.%d.%d build %02d%02d%02d" when the top byte of the version is set, else
// "V%d.%d build %02d%02d%02d"; the build numbers are the high 16 bits, bits 8 to 15 and bits
// 0 to 7 of the build word.
QString SoftwareVersionText(uint32_t version, uint32_t build);

class CDlgVerInfo : public ConfigPage {
 public:
  explicit CDlgVerInfo(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords&) override { return false; }
  void ShowVersions(uint32_t software, uint32_t build, uint32_t hardware, uint32_t panel);

 private:
  QLineEdit *software_, *hardware_, *panel_;
};

}  // namespace pellmore
