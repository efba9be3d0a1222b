// The arming-time editor's rules and the week and linkage editors driven through their
// controls, headless.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <vector>

#include "Records.h"
#include "Session.h"
#include "pages/DlgGuardTime.h"
#include "pages/DlgInvokeType.h"
#include "fixture.h"
#include "plat/bytes.h"

using namespace pellmore;
using pellmore_test::Find;

namespace {

DaySegments Day(std::initializer_list<TimeSegment> used) {
  DaySegments d{};
  size_t i = 0;
  for (const TimeSegment& s : used) d[i++] = s;
  return d;
}

struct Messages {
  Messages() {
    g_LanguageId = 4;
    SetMessageBoxHandler([this](QWidget*, const QString& text, const QString&) {
      texts.push_back(text);
    });
  }
  ~Messages() { SetMessageBoxHandler({}); }
  QStringList texts;
};

const QString kInvalid = QStringLiteral("输入的时间无效，请检查！");

void SetRow(QWidget* dlg, int firstCheck, int firstEdit, int row, const char* sh, const char* sm,
            const char* eh, const char* em) {
  auto* box = Find<QCheckBox>(dlg, firstCheck + row);
  if (!box->isChecked()) box->click();
  const char* v[4] = {sh, sm, eh, em};
  for (int c = 0; c < 4; ++c) Find<QLineEdit>(dlg, firstEdit + 4 * row + c)->setText(v[c]);
}

}  // namespace

TEST(ArmingRules, EveryRuleOfADay) {
  const struct {
    DaySegments day;
    bool valid;
    const char* what;
  } cases[] = {
      {Day({}), true, "all empty"},
      {Day({{0, 0, 6, 0}}), true, "from midnight"},
      {Day({{8, 0, 12, 0}, {12, 1, 18, 0}}), true, "one minute apart"},
      {Day({{8, 0, 12, 0}, {12, 0, 18, 0}}), false, "touching"},
      {Day({{12, 0, 18, 0}, {8, 0, 12, 0}}), false, "touching in the other row order"},
      {Day({{10, 0, 9, 0}}), false, "ends before it starts"},
      {Day({{10, 0, 10, 0}}), false, "starts where it ends"},
      {Day({{22, 0, 0, 0}}), false, "ends at 00:00"},
      {Day({{22, 0, 23, 59}}), true, "ends at 23:59"},
      {Day({{9, 0, 10, 0}, {9, 0, 10, 0}}), false, "equal"},
      {Day({{1, 0, 5, 0}, {2, 0, 3, 0}}), false, "contained"},
      {Day({{1, 0, 5, 0}, {1, 0, 3, 0}}), false, "same start"},
      {Day({{0, 0, 5, 0}, {0, 0, 3, 0}}), false, "both from midnight"},
      {Day({{1, 0, 5, 0}, {4, 0, 8, 0}}), false, "overlapping"},
      {Day({{1, 0, 2, 0}, {3, 0, 4, 0}, {5, 0, 6, 0}, {7, 0, 8, 0}, {9, 0, 10, 0},
            {11, 0, 12, 0}, {13, 0, 14, 0}, {15, 0, 23, 59}}),
       true, "eight apart"},
      {Day({{1, 0, 2, 0}, {3, 0, 4, 0}, {5, 0, 6, 0}, {7, 0, 8, 0}, {9, 0, 10, 0},
            {11, 0, 12, 0}, {13, 0, 14, 0}, {13, 30, 23, 59}}),
       false, "the last two overlap"},
      {Day({{8, 60, 9, 0}}), false, "minute 60"},
      {Day({{8, 0, 9, 75}}), false, "end minute 75"},
      {Day({{24, 0, 24, 30}}), false, "hour 24"},
      {Day({{8, 0, 24, 0}}), false, "end hour 24"},
  };
  for (const auto& c : cases) EXPECT_EQ(CDlgGuardTime::Validate(c.day), c.valid) << c.what;
}

TEST(GuardTimeEditor, EditsACopyAndWritesItBackOnAValidOK) {
  Messages m;
  ArmingSchedule owner{};
  owner[0 * 32 + 0] = 8;   // Sun 08:00-12:00 in row 1
  owner[0 * 32 + 2] = 12;
  owner[6 * 32 + 4] = 5;   // Sat row 2 starts at 05:00 and ends at 00:00: shown unused
  const ArmingSchedule before = owner;
  {
    CDlgGuardTime dlg(nullptr, AlarmSourceKind::AlarmIn, owner.data());
    EXPECT_EQ(dlg.DayOnShow(), 0);
    EXPECT_TRUE(Find<QCheckBox>(&dlg, 4478)->isChecked());
    EXPECT_TRUE(Find<QLineEdit>(&dlg, 4446)->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(&dlg, 4448)->text(), QStringLiteral("12"));
    EXPECT_FALSE(Find<QCheckBox>(&dlg, 4479)->isChecked());
    EXPECT_FALSE(Find<QLineEdit>(&dlg, 4450)->isEnabled());
    // The spinner steps within its range and writes into its edit.
    auto* spinner = Find<SpinButtons>(&dlg, 4448 - 32);
    for (int i = 0; i < 15; ++i) spinner->Step(1);
    EXPECT_EQ(Find<QLineEdit>(&dlg, 4448)->text(), QStringLiteral("23"));
    Find<QLineEdit>(&dlg, 4448)->setText(QStringLiteral("12"));

    // Touching periods: the day cannot be left, the list snaps back.
    SetRow(&dlg, 4478, 4446, 1, "12", "0", "18", "0");
    dlg.DayList()->setCurrentIndex(3);
    EXPECT_EQ(m.texts, QStringList({kInvalid}));
    EXPECT_EQ(dlg.DayList()->currentIndex(), 0);
    EXPECT_EQ(dlg.DayOnShow(), 0);
    // Letters read as 0, so the second period now starts at 00:00 and overlaps the first.
    Find<QLineEdit>(&dlg, 4450)->setText(QStringLiteral("ab"));
    Find<QPushButton>(&dlg, 4168)->click();
    EXPECT_EQ(m.texts.size(), 2);
    EXPECT_TRUE(dlg.isVisible() || dlg.result() == 0);
    Find<QLineEdit>(&dlg, 4450)->setText(QStringLiteral("12"));
    Find<QLineEdit>(&dlg, 4451)->setText(QStringLiteral("1"));
    // Copy to Sat only, then move to Mon (valid now), then OK.
    Find<QComboBox>(&dlg, 4339)->setCurrentIndex(7);
    Find<QPushButton>(&dlg, 4280)->click();
    dlg.DayList()->setCurrentIndex(1);
    EXPECT_EQ(dlg.DayOnShow(), 1);
    EXPECT_FALSE(Find<QCheckBox>(&dlg, 4478)->isChecked());
    // Unchecking a row sets its edits to "0".
    SetRow(&dlg, 4478, 4446, 0, "1", "0", "2", "0");
    Find<QCheckBox>(&dlg, 4478)->click();
    EXPECT_EQ(Find<QLineEdit>(&dlg, 4448)->text(), QStringLiteral("0"));
    Find<QPushButton>(&dlg, 4168)->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  EXPECT_EQ(m.texts.size(), 2);
  ArmingSchedule expected = before;
  const uint8_t sun[8] = {8, 0, 12, 0, 12, 1, 18, 0};
  std::copy(sun, sun + 8, &expected[0]);
  std::copy(sun, sun + 8, &expected[6 * 32]);  // the copy replaced Saturday's segments
  EXPECT_EQ(owner, expected);

  // Cancel after edits and an "All week" copy writes nothing.
  {
    CDlgGuardTime dlg(nullptr, AlarmSourceKind::AlarmOut, owner.data());
    SetRow(&dlg, 4478, 4446, 7, "20", "0", "23", "59");
    Find<QPushButton>(&dlg, 4280)->click();
    Find<QPushButton>(&dlg, 4282)->click();
  }
  EXPECT_EQ(owner, expected);
  // "All week" copies the day on show into every day.
  {
    CDlgGuardTime dlg(nullptr, AlarmSourceKind::AlarmOut, owner.data());
    Find<QPushButton>(&dlg, 4280)->click();
    Find<QPushButton>(&dlg, 4168)->click();
  }
  for (int d = 0; d < 7; ++d)
    EXPECT_TRUE(std::equal(&owner[0], &owner[32], &owner[32 * static_cast<size_t>(d)])) << d;
}

TEST(LinkageEditor, AlarmInputTabsModesAndClamps) {
  g_LanguageId = 4;
  std::vector<uint8_t> record(kAlarmInRecord.size, 0);
  plat::putLe32(&record[40], 0x01 | 0x08 | 0x40);  // outputs on, two bits the editor keeps
  record[44 + 1] = 1;                      // output 2 triggered
  record[364 + 2] = 1;                     // record channel 3
  record[428 + 0] = 1;                     // channel 1: preset 7 and track 2 enabled
  record[492 + 0] = 7;
  record[732 + 0] = 1;
  record[748 + 0] = 2;
  record[700 + 1] = 1;  // channel 2: cruise 4
  record[716 + 1] = 4;
  const std::vector<uint8_t> before = record;
  {  // Cancel leaves the record alone whatever was edited.
    CDlgInvokeType dlg(nullptr);
    dlg.Setup(record.data(), 2, 4);
    Find<QCheckBox>(&dlg, 4344)->click();
    Find<QPushButton>(&dlg, 4197)->click();
  }
  EXPECT_EQ(record, before);

  CDlgInvokeType dlg(nullptr);
  dlg.Setup(record.data(), 130, 20);  // more than the record can link
  ASSERT_EQ(dlg.Tabs()->count(), 3);
  EXPECT_EQ(dlg.Tabs()->tabText(2), QStringLiteral("云台联动"));
  auto* outputs = Find<QListWidget>(&dlg, 4346);
  EXPECT_EQ(outputs->count(), 96);
  EXPECT_EQ(outputs->item(1)->text(), QStringLiteral("输出通道02"));
  EXPECT_EQ(outputs->item(1)->checkState(), Qt::Checked);
  EXPECT_FALSE(Find<QCheckBox>(&dlg, 4343)->isEnabled());  // e-mail: never offered
  EXPECT_EQ(Find<QListWidget>(&dlg, 4348)->count(), 20);
  auto* channel = Find<QComboBox>(&dlg, 4358);
  EXPECT_EQ(channel->count(), 16);
  // Channel 1 has preset and track enabled: track wins and only its number is editable.
  EXPECT_FALSE(Find<QCheckBox>(&dlg, 4361)->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(&dlg, 4367)->isChecked());
  EXPECT_FALSE(Find<QLineEdit>(&dlg, 4359)->isEnabled());
  EXPECT_TRUE(Find<QLineEdit>(&dlg, 4365)->isEnabled());
  EXPECT_EQ(Find<QLineEdit>(&dlg, 4359)->text(), QStringLiteral("7"));
  // Channel 2: cruise; choose preset instead and type a number beyond 64.
  channel->setCurrentIndex(1);
  EXPECT_TRUE(Find<QCheckBox>(&dlg, 4364)->isChecked());
  Find<QCheckBox>(&dlg, 4361)->click();
  EXPECT_FALSE(Find<QCheckBox>(&dlg, 4364)->isChecked());
  EXPECT_FALSE(Find<QLineEdit>(&dlg, 4362)->isEnabled());
  auto* preset = Find<QLineEdit>(&dlg, 4359);
  preset->setText(QStringLiteral("99"));
  EXPECT_EQ(preset->text(), QStringLiteral("64"));
  Find<QLineEdit>(&dlg, 4362)->setText(QStringLiteral("0"));
  EXPECT_EQ(Find<QLineEdit>(&dlg, 4362)->text(), QStringLiteral("1"));
  // Handling: outputs off keeps the row checks, audio on; record channel 20 on.
  Find<QCheckBox>(&dlg, 4345)->click();
  EXPECT_FALSE(outputs->isEnabled());
  Find<QCheckBox>(&dlg, 4344)->click();
  Find<QListWidget>(&dlg, 4348)->item(19)->setCheckState(Qt::Checked);
  Find<QPushButton>(&dlg, 4168)->click();

  EXPECT_EQ(plat::getLe32(&record[40]), 0x01u | 0x02u | 0x40u);
  EXPECT_EQ(record[44 + 1], 1);
  EXPECT_EQ(record[364 + 2], 1);
  EXPECT_EQ(record[364 + 19], 1);
  // Channel 1 went back with only its track; channel 2 with only its preset, number 64.
  EXPECT_EQ(record[428 + 0], 0);
  EXPECT_EQ(record[732 + 0], 1);
  EXPECT_EQ(record[748 + 0], 2);
  EXPECT_EQ(record[428 + 1], 1);
  EXPECT_EQ(record[492 + 1], 64);
  EXPECT_EQ(record[700 + 1], 0);
  EXPECT_EQ(record[716 + 1], 4);  // a disabled mode's number is kept
  // Nothing outside the linkage moved.
  for (size_t i = 0; i < record.size(); ++i)
    if (i < 40 || (i >= 140 && i < 364) || (i >= 508 && i < 700) || i >= 764) {
      EXPECT_EQ(record[i], before[i]) << i;
    }
}

TEST(LinkageEditor, SourcesWithoutPtzShowTheirTabsAndHandBackTheData) {
  LinkageData in;
  in.alarmOutCount = 0;
  in.channelCount = 4;
  plat::putLe32(in.handling.data(), 0x80);
  in.recordFlags[0] = 1;
  LinkageData out;
  int applied = 0;
  {
    CDlgInvokeType dlg(nullptr);
    dlg.Setup(AlarmSourceKind::VideoLoss, in, [&](const LinkageData& d) {
      out = d;
      ++applied;
    });
    EXPECT_EQ(dlg.Tabs()->count(), 1);
    EXPECT_EQ(Find<QListWidget>(&dlg, 4346)->count(), 0);
    Find<QCheckBox>(&dlg, 4345)->click();
    Find<QPushButton>(&dlg, 4168)->click();
  }
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(plat::getLe32(out.handling.data()), 0x88u);
  CDlgInvokeType motion(nullptr);
  motion.Setup(AlarmSourceKind::Motion, in, [&](const LinkageData& d) { out = d; });
  EXPECT_EQ(motion.Tabs()->count(), 2);
  Find<QCheckBox>(motion.Tabs()->widget(1), 4167)->click();  // select all channels
  Find<QPushButton>(&motion, 4168)->click();
  EXPECT_EQ(std::count(out.recordFlags.begin(), out.recordFlags.end(), 1), 4);
}
