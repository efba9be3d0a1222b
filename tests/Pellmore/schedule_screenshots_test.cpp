// Screenshots of the record, RS-485 and alarm pages and their editors with a populated week,
// Chinese and English, written when TARNWICK_SCREENSHOTS names a folder:
//   TARNWICK_SCREENSHOTS=$PWD/docs/screenshots build/bin/test_Pellmore --gtest_filter='*SchedulePages*'
#include <QDir>
#include <QPixmap>

#include <QComboBox>

#include "Session.h"
#include "pages/DlgGuardTime.h"
#include "pages/DlgInvokeType.h"
#include "fixture.h"

using namespace pellmore_test;

namespace {

void Grab(QWidget* w, const QString& dir, const char* name, const QString& suffix) {
  const QString file = QStringLiteral("%1/pellmore_%2_%3.png").arg(dir, QString::fromLatin1(name), suffix);
  EXPECT_TRUE(w->grab().save(file)) << file.toStdString();
}

// A week of arming windows: two on weekdays, the evening at weekends.
pellmore::ArmingSchedule Week() {
  pellmore::ArmingSchedule s{};
  for (size_t d = 0; d < 7; ++d) {
    uint8_t* day = &s[d * 32];
    const bool weekend = d == 0 || d == 6;
    const uint8_t a[8] = {8, 30, 12, 0, 13, 0, 18, 0};
    const uint8_t b[4] = {18, 0, 23, 59};
    if (weekend)
      std::copy(b, b + 4, day);
    else
      std::copy(a, a + 8, day);
  }
  return s;
}

}  // namespace

TEST_F(ConfigTest, SchedulePagesScreenshots) {
  const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
  if (dir.isEmpty()) GTEST_SKIP() << "TARNWICK_SCREENSHOTS not set";
  // Channel 1 records on a populated week: every record type, an all-day Sunday.
  std::vector<uint8_t> rec(524, 0);
  dvremu::put32(&rec[4], 1);
  dvremu::put32(&rec[8], 1);
  dvremu::put32(&rec[12], 3);
  const uint8_t periods[][5] = {{0, 0, 6, 30, 0}, {8, 30, 12, 0, 1}, {13, 0, 18, 0, 2},
                                {19, 0, 23, 59, 3}};
  for (int d = 1; d < 7; ++d)
    for (int p = 0; p < 4; ++p) {
      if ((d + p) % 3 == 0) continue;
      std::copy(periods[p], periods[p] + 5, &rec[64 + 8 * static_cast<size_t>(d * 8 + p)]);
    }
  dvremu::put32(&rec[512], 2);
  emu.services().setConfigRecord(56, 0, rec);
  std::vector<uint8_t> in(572, 0);
  Text(in, 4, "Front door");
  in[37] = 1;
  emu.services().setConfigRecord(68, 0, in);
  std::vector<uint8_t> out(264, 0);
  Text(out, 4, "Siren");
  dvremu::put32(&out[36], 2);
  emu.services().setConfigRecord(70, 0, out);
  std::vector<uint8_t> dec(788, 0);
  dvremu::put32(&dec[4], 3);
  dvremu::put32(&dec[16], 1);
  emu.services().setConfigRecord(41, 0, dec);
  for (uint16_t language : {4, 9}) {
    const QString suffix = language == 9 ? QStringLiteral("en") : QStringLiteral("zh");
    pellmore::g_LanguageId = language;
    ASSERT_EQ(Open(
                  [&](pellmore::CDlgMain& w) {
                    QWidget* page = Select(w, 0x10);
                    Grab(&w, dir, "record", suffix);
                    OnNextModal([&](QWidget* dlg) {
                      Find<QComboBox>(dlg, 4173)->setCurrentIndex(2);
                      Grab(dlg, dir, "record_time", suffix);
                      Find<QPushButton>(dlg, 4283)->click();
                    });
                    Find<QPushButton>(page, 4053)->click();
                    OnNextModal([&](QWidget* dlg) {
                      Grab(dlg, dir, "record_advanced", suffix);
                      Find<QPushButton>(dlg, 4197)->click();
                    });
                    Find<QPushButton>(page, 4054)->click();
                    const std::pair<uint32_t, const char*> pages[] = {
                        {0x4000, "rs485"}, {0x8000, "alarm_in"}, {0x10000, "alarm_out"}};
                    for (const auto& [bit, name] : pages) {
                      Select(w, bit);
                      Grab(&w, dir, name, suffix);
                    }
                  },
                  language),
              1);
    pellmore::ArmingSchedule week = Week();
    {
      pellmore::CDlgGuardTime dlg(nullptr, pellmore::AlarmSourceKind::AlarmIn, week.data());
      dlg.DayList()->setCurrentIndex(1);
      Grab(&dlg, dir, "arming_time", suffix);
    }
    std::vector<uint8_t> record(pellmore::kAlarmInRecord.size, 0);
    record[40] = 0x0A;
    record[45] = 1;
    record[364] = record[366] = 1;
    record[428] = 1;
    record[492] = 5;
    pellmore::CDlgInvokeType link(nullptr);
    link.Setup(record.data(), 4, 8);
    for (int t = 0; t < 3; ++t) {
      link.Tabs()->setCurrentIndex(t);
      static const char* names[3] = {"linkage_handling", "linkage_record", "linkage_ptz"};
      Grab(&link, dir, names[t], suffix);
    }
  }
  pellmore::g_LanguageId = 4;
}
