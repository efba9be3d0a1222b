// Screenshots of the configuration window with each page, Chinese and English, written when
// TARNWICK_SCREENSHOTS names a folder:
//   TARNWICK_SCREENSHOTS=$PWD/docs/screenshots build/bin/test_Pellmore --gtest_filter='*Screenshots*'
#include <QDir>
#include <QPixmap>

#include "fixture.h"

using namespace pellmore_test;

TEST_F(ConfigTest, Screenshots) {
  const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
  if (dir.isEmpty()) GTEST_SKIP() << "TARNWICK_SCREENSHOTS not set";
  SeedRecords();
  const std::pair<uint32_t, const char*> pages[] = {
      {0x1, "device_info"}, {0x2, "version"}, {0x400, "network"}, {0x800, "pppoe"},
      {0x1000, "ddns"},     {0x2000, "ntp"},  {0x20000, "time"}};
  for (uint16_t language : {4, 9}) {
    const QString suffix = language == 9 ? QStringLiteral("en") : QStringLiteral("zh");
    ASSERT_EQ(Open(
                  [&](pellmore::CDlgMain& w) {
                    for (const auto& [bit, name] : pages) {
                      Select(w, bit);
                      const QString file = QStringLiteral("%1/pellmore_%2_%3.png")
                                               .arg(dir, QString::fromLatin1(name), suffix);
                      EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
                    }
                    QWidget* net = Select(w, 0x400);
                    OnNextModal([&](QWidget* dns) {
                      dns->grab().save(QStringLiteral("%1/pellmore_dns_%2.png").arg(dir, suffix));
                      Find<QPushButton>(dns, 4197)->click();
                    });
                    Find<QPushButton>(net, 4054)->click();
                  },
                  language),
              1);
  }
}
