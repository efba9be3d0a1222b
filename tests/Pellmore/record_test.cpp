// The record page against the recorder emulator (the schedule records as the device keeps
// them), its two editors, and the week chart's geometry, colours and tooltips.
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

#include "Records.h"
#include "pages/DlgRecordCfg.h"
#include "pages/MotionChart.h"
#include "fixture.h"

using namespace pellmore_test;
using pellmore::RecordEntry;

namespace {

// The schedule record on the wire: enabled at 4; per day the all-day flag and type in a word
// each from 8; 56 periods of 8 bytes from 64 (five used); delay at 512; pre-record at 516.
struct WireSchedule {
  std::vector<uint8_t> r = std::vector<uint8_t>(524, 0);
  WireSchedule& Enabled(uint32_t on) { dvremu::put32(&r[4], on); return *this; }
  WireSchedule& AllDay(int day, uint32_t type) {
    dvremu::put32(&r[8 + 8 * static_cast<size_t>(day)], 1);
    dvremu::put32(&r[12 + 8 * static_cast<size_t>(day)], type);
    return *this;
  }
  WireSchedule& Period(int day, int p, uint8_t sh, uint8_t sm, uint8_t eh, uint8_t em, uint8_t type) {
    uint8_t* at = &r[64 + 8 * static_cast<size_t>(day * 8 + p)];
    at[0] = sh; at[1] = sm; at[2] = eh; at[3] = em; at[4] = type;
    return *this;
  }
  WireSchedule& Delay(uint32_t code, uint32_t prerecord) {
    dvremu::put32(&r[512], code);
    dvremu::put32(&r[516], prerecord);
    return *this;
  }
};

const uint8_t* WirePeriod(const std::vector<uint8_t>& r, int day, int p) {
  return &r[64 + 8 * static_cast<size_t>(day * 8 + p)];
}

void EditRow(QWidget* dlg, int row, int sh, int sm, int eh, int em, int type) {
  auto* box = Find<QCheckBox>(dlg, 4486 + row);
  if (!box->isChecked()) box->click();
  const int v[4] = {sh, sm, eh, em};
  for (int c = 0; c < 4; ++c) Find<QLineEdit>(dlg, 4600 + 4 * row + c)->setText(QString::number(v[c]));
  Find<QComboBox>(dlg, 4665 + row)->setCurrentIndex(type);
}

}  // namespace

TEST_F(ConfigTest, RecordScheduleRoundTripThroughTheRecorder) {
  WireSchedule ch0;
  ch0.Enabled(1).AllDay(0, 2).Period(1, 0, 8, 30, 12, 0, 1).Period(1, 1, 13, 0, 14, 0, 5)
      .Delay(0, 5);
  emu.services().setConfigRecord(56, 0, ch0.r);
  WireSchedule ch1;
  ch1.Enabled(0).Period(2, 0, 1, 0, 2, 0, 0).Delay(2, 0);
  emu.services().setConfigRecord(56, 1, ch1.r);
  emu.services().failConfig(57, 2, true);

  QString delayShown, prerecordShown, tipOverMonday, mondayAgain;
  bool buttonsOffWhenDisabled = false, buttonsOnWhenEnabled = false;
  int messagesAfterTouching = 0;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x10);
              auto* chart = Find<pellmore::CMotionChart>(page, 4404);
              ASSERT_NE(chart, nullptr);
              const pellmore::ChartGeometry g = chart->Geometry();
              tipOverMonday = pellmore::ChartTip(
                  &static_cast<pellmore::CDlgRecordCfg*>(page)->WorkingList()[0], g,
                  static_cast<int>(g.L + 10 * g.Hw), static_cast<int>(2.5f * g.Rh));

              // Advanced: a device pre-record time of 5 shows "Yes"; delay 0 shows nothing.
              OnNextModal([&](QWidget* adv) {
                delayShown = Find<QComboBox>(adv, 4192)->currentText();
                prerecordShown = Find<QComboBox>(adv, 4191)->currentText();
                Find<QComboBox>(adv, 4192)->setCurrentIndex(2);  // 60S
                Find<QPushButton>(adv, 4168)->click();
              });
              Find<QPushButton>(page, 4054)->click();

              // The schedule editor. Monday: All Day ticked and unticked again leaves the
              // periods unticked with their times; ticking them again gives those back.
              // Tue 08:00-12:00 with 12:00-18:00 is refused, 12:01 taken.
              OnNextModal([&](QWidget* dlg) {
                Find<QComboBox>(dlg, 4173)->setCurrentIndex(1);
                auto* allDay = Find<QCheckBox>(dlg, 4167);
                allDay->click();
                allDay->click();
                EXPECT_FALSE(Find<QCheckBox>(dlg, 4486)->isChecked());
                EXPECT_FALSE(Find<QLineEdit>(dlg, 4600)->isEnabled());
                Find<QCheckBox>(dlg, 4486)->click();
                Find<QCheckBox>(dlg, 4487)->click();
                mondayAgain = Find<QLineEdit>(dlg, 4600)->text() + ":" +
                              Find<QLineEdit>(dlg, 4601)->text() + "-" +
                              Find<QLineEdit>(dlg, 4602)->text() + ":" +
                              Find<QLineEdit>(dlg, 4603)->text();
                Find<QComboBox>(dlg, 4173)->setCurrentIndex(2);
                EditRow(dlg, 0, 8, 0, 12, 0, 0);
                EditRow(dlg, 1, 12, 0, 18, 0, 3);
                Find<QPushButton>(dlg, 4168)->click();
                messagesAfterTouching = static_cast<int>(messages.size());
                Find<QLineEdit>(dlg, 4605)->setText(QStringLiteral("1"));
                // Saturday all day, type "Alarm": the periods go and the type stays.
                Find<QComboBox>(dlg, 4173)->setCurrentIndex(6);
                Find<QCheckBox>(dlg, 4167)->click();
                EXPECT_FALSE(Find<QCheckBox>(dlg, 4486)->isEnabled());
                Find<QComboBox>(dlg, 4673)->setCurrentIndex(2);
                Find<QPushButton>(dlg, 4168)->click();
              });
              Find<QPushButton>(page, 4053)->click();

              // Channel 2 records nothing: its buttons are off until "Enable record".
              Find<QComboBox>(page, 4010)->setCurrentIndex(1);
              buttonsOffWhenDisabled = !Find<QPushButton>(page, 4053)->isEnabled() &&
                                       !Find<QPushButton>(page, 4054)->isEnabled();
              Find<QCheckBox>(page, 4046)->click();
              buttonsOnWhenEnabled = Find<QPushButton>(page, 4053)->isEnabled();

              // Channel 1 copied to channel 4.
              Find<QComboBox>(page, 4010)->setCurrentIndex(0);
              OnNextModal([](QWidget* copy) {
                Find<QListWidget>(copy, 4166)->item(3)->setCheckState(Qt::Checked);
                Find<QPushButton>(copy, 4168)->click();
              });
              Find<QPushButton>(page, 4021)->click();
              Save(w);
              // Nothing new: only the channel whose write failed is written again.
              Save(w);
            }),
            1);
  EXPECT_EQ(tipOverMonday, QStringLiteral("08:30-12:00"));
  EXPECT_EQ(mondayAgain, QStringLiteral("8:30-12:0"));
  EXPECT_EQ(prerecordShown, QStringLiteral("是"));
  EXPECT_EQ(delayShown, QString());
  EXPECT_EQ(messagesAfterTouching, 1);
  EXPECT_TRUE(buttonsOffWhenDisabled);
  EXPECT_TRUE(buttonsOnWhenEnabled);
  ASSERT_EQ(messages.size(), 3);
  EXPECT_EQ(messages[0], QStringLiteral("输入的时间无效，请检查！"));
  EXPECT_EQ(messages[1], QStringLiteral("录像参数设置失败，失败的通道号为：03 \n"));
  EXPECT_EQ(messages[2], messages[1]);
  // Every channel took the delay, so each was written; channel 3 twice (it failed).
  EXPECT_EQ(emu.requests(57).size(), 5u);
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{57, 5}}));

  const auto r0 = Stored(56, 0);
  EXPECT_EQ(dvremu::get32(&r0[4]), 1u);
  EXPECT_EQ(dvremu::get32(&r0[8]), 1u);   // Sunday all day
  EXPECT_EQ(dvremu::get32(&r0[12]), 2u);  // of type "Alarm"
  EXPECT_EQ(std::vector<uint8_t>(WirePeriod(r0, 1, 0), WirePeriod(r0, 1, 0) + 5),
            (std::vector<uint8_t>{8, 30, 12, 0, 1}));
  // A type the lists do not offer went back as the device had it.
  EXPECT_EQ(WirePeriod(r0, 1, 1)[4], 5);
  EXPECT_EQ(std::vector<uint8_t>(WirePeriod(r0, 2, 1), WirePeriod(r0, 2, 1) + 5),
            (std::vector<uint8_t>{12, 1, 18, 0, 3}));
  EXPECT_EQ(dvremu::get32(&r0[8 + 8 * 6]), 1u);
  EXPECT_EQ(dvremu::get32(&r0[12 + 8 * 6]), 2u);
  EXPECT_EQ(dvremu::get32(&r0[512]), 3u);   // 60S
  EXPECT_EQ(dvremu::get32(&r0[516]), 10u);  // pre-recording on is written as 10
  const auto r1 = Stored(56, 1);
  EXPECT_EQ(dvremu::get32(&r1[4]), 1u);
  EXPECT_EQ(WirePeriod(r1, 2, 0)[2], 2);
  EXPECT_EQ(dvremu::get32(&r1[512]), 3u);
  EXPECT_EQ(dvremu::get32(&r1[516]), 10u);
  // Channel 4 is channel 1 now, under its own channel number.
  auto r3 = Stored(56, 3);
  EXPECT_EQ(dvremu::get32(&r3[0]), 3u);
  auto expected = r0;
  dvremu::put32(&expected[0], 3);
  EXPECT_EQ(r3, expected);
}

TEST(WeekChart, GeometryBarsAndTooltipsFollowTheSize) {
  RecordEntry e;
  e.enabled = 1;
  e.periods[64] = 8;  // Mon, period 1: 08:30-12:00, motion
  e.periods[65] = 30;
  e.periods[66] = 12;
  e.periods[68] = 1;
  e.allDay[6 * 4] = 1;  // Sat all day, type 7 (no colour of its own)
  e.allDay[6 * 4 + 2] = 7;
  pellmore::CMotionChart chart(nullptr);
  chart.SetData(&e);
  for (const auto& [w, h] : {std::pair{530, 270}, std::pair{290, 180}}) {
    chart.resize(w, h);
    const pellmore::ChartGeometry g = chart.Geometry();
    EXPECT_FLOAT_EQ(g.Hw, (w - 50) / 24.0f);
    EXPECT_FLOAT_EQ(g.Rh, h / 9.0f);
    const QRect bar = g.Bar(1, 8, 30, 12, 0);
    EXPECT_EQ(bar.left(), static_cast<int>(50 + 8.5f * g.Hw));
    EXPECT_EQ(bar.left() + bar.width(), static_cast<int>(50 + 12 * g.Hw));
    EXPECT_EQ(bar.top(), static_cast<int>(2 * g.Rh));

    const int monday = static_cast<int>(2.5f * g.Rh);
    const auto tip = [&](float x, int y) {
      QMouseEvent move(QEvent::MouseMove, QPointF(x, y), chart.mapToGlobal(QPointF(x, y)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(&chart, &move);
      return chart.toolTip();
    };
    EXPECT_EQ(tip(50 + 8.5f * g.Hw, monday), QStringLiteral("08:30-12:00")) << w;
    EXPECT_EQ(tip(50 + 12 * g.Hw, monday), QStringLiteral("08:30-12:00")) << w;
    EXPECT_EQ(tip(50 + 13 * g.Hw, monday), QString()) << w;
    EXPECT_EQ(tip(50 + 2 * g.Hw, static_cast<int>(7.5f * g.Rh)), QStringLiteral("00:00-23:59"));
    // The hour counted from the margin is truncated: less than an hour's width left of it
    // still counts as hour 0, a whole hour's width is outside.
    EXPECT_EQ(tip(45, static_cast<int>(7.5f * g.Rh)), QStringLiteral("00:00-23:59")) << w;
    EXPECT_EQ(tip(50 - g.Hw, static_cast<int>(7.5f * g.Rh)), QString()) << w;
    EXPECT_EQ(tip(45, monday), QString()) << w;  // no period reaches left of the margin
    EXPECT_EQ(tip(50 + 10 * g.Hw, static_cast<int>(0.5f * g.Rh)), QString());  // hour row
    EXPECT_EQ(tip(50 + 10 * g.Hw, static_cast<int>(8.5f * g.Rh)), QString());  // row 8

    // What is painted: the bar in the type's colour, the all-day row grey.
    const QImage shot = chart.grab().toImage();
    const int y = monday;
    EXPECT_EQ(QColor(shot.pixel(static_cast<int>(50 + 10.3f * g.Hw), y)), QColor(238, 238, 0)) << w;
    EXPECT_EQ(QColor(shot.pixel(static_cast<int>(50 + 14.3f * g.Hw), y)), QColor(Qt::white)) << w;
    EXPECT_EQ(QColor(shot.pixel(static_cast<int>(50 + 3.3f * g.Hw), static_cast<int>(7.5f * g.Rh))),
              pellmore::RecordTypeColour(7));
  }
  // Recording off: no bars, the tooltip still names the period.
  e.enabled = 0;
  chart.resize(530, 270);
  const pellmore::ChartGeometry g = chart.Geometry();
  const QImage shot = chart.grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(static_cast<int>(50 + 10.3f * g.Hw), static_cast<int>(2.5f * g.Rh))),
            QColor(Qt::white));
  EXPECT_EQ(pellmore::ChartTip(&e, g, 260, 75), QStringLiteral("08:30-12:00"));
  EXPECT_EQ(pellmore::ChartTip(nullptr, g, 260, 75), QString());
  EXPECT_EQ(pellmore::RecordTypeColour(1), QColor(238, 238, 0));
  EXPECT_EQ(pellmore::RecordTypeColour(6), pellmore::RecordTypeColour(200));

  // A device without channels: the record page shows no channel; a click on "Enable
  // record" shows what no entry holds (unticked, both buttons off) and leaves the box as it is.
  pellmore::ConfigRecords none;
  pellmore::PageContext context;
  context.records = &none;
  pellmore::CDlgRecordCfg page(nullptr);
  page.Load(context);
  EXPECT_EQ(Find<QComboBox>(&page, 4010)->count(), 0);
  auto* enable = Find<QCheckBox>(&page, 4046);
  enable->click();
  EXPECT_FALSE(enable->isChecked());
  EXPECT_TRUE(enable->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(&page, 4053)->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(&page, 4054)->isEnabled());
}
