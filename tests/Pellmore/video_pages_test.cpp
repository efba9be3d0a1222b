// The channel pages over the picture and compression records, and the two editors over live
// video, against the recorder emulator streaming a D1 clip: positions, cells and rectangles
// drawn with the mouse reach the device at the offsets of the wire record; what the editors
// draw appears in the picture; opening everything and saving nothing writes nothing but the
// channel whose mask editor ran.
//
// Screenshots are written when TARNWICK_SCREENSHOTS names a folder.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <atomic>

#include "Records.h"
#include "Saxtrum/PictureRecord.h"
#include "Session.h"
#include "fixture.h"
#include "pages/DlgDisplayCfg.h"
#include "pages/DlgMotionArea.h"
#include "pages/DlgMotionCfg.h"
#include "pages/DlgVideoCfg.h"
#include "plat/bytes.h"
#include "plat/msgthread.h"
#include "plat/window.h"
#include "plat/surface.h"
#include "plat/text.h"

using namespace pellmore_test;

namespace {

// Wire offsets of the picture record (code 54/55) and the compression record (58/59).
constexpr size_t kWireNameX = 40, kWireNameY = 44, kWireShowDate = 48, kWireDateX = 52,
                 kWireDateY = 56, kWireShowName = 36, kWireMotion = 392, kWireTamper = 6928,
                 kWireMaskEnable = 7264, kWireMaskRects = 7268;
constexpr size_t kWireMain = 4, kWireSub = 16;
constexpr uint32_t kPictureRead = 54, kPictureWrite = 55, kCompressionRead = 58;
constexpr uint32_t kRedPixel = 0xFF0000, kBlackPixel = 0x000000;  // 0x00RRGGBB

uint32_t PixelShown(plat::WindowHandle window, int x, int y) {
  plat::PresentedPicture pic;
  if (!plat::lastPresented(window, &pic) || x >= pic.width || y >= pic.height) return 0xFFFFFFFF;
  return pic.pixels[size_t(y) * size_t(pic.width) + size_t(x)] & 0xFFFFFF;
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint from, QPoint to) {
  Mouse(w, QEvent::MouseButtonPress, from);
  Mouse(w, QEvent::MouseMove, to);
  Mouse(w, QEvent::MouseButtonRelease, to);
}

struct VideoPages : ConfigTest {
  void SetUp() override {
    ConfigTest::SetUp();
    dvremu::StreamClip clip;
    std::string error;
    ASSERT_TRUE(dvremu::generatedClip(true, 704, 576, 10, 25, false, &clip, &error)) << error;
    emu.setClip(clip);
  }
  // A picture record on the wire as the device keeps it for channel index `channel`.
  std::vector<uint8_t> Picture(int channel) {
    std::vector<uint8_t> r = Stored(kPictureRead, uint32_t(channel + 1));
    r.resize(dvremu::configRecordSize(kPictureRead));
    return r;
  }
  void SetPicture(int channel, const std::vector<uint8_t>& r) {
    emu.services().setConfigRecord(kPictureRead, uint32_t(channel + 1), r);
  }
  // Compression records every channel of a configured recorder has (D1, 1536K, 25 fps main;
  // CIF, 64K, 6 fps sub).
  void SeedCompression() {
    for (uint32_t ch = 0; ch < 4; ++ch) {
      std::vector<uint8_t> r(28, 0);
      dvremu::put32(&r[0], ch);
      r[kWireMain + 1] = 0;
      dvremu::put32(&r[kWireMain + 4], 21);
      r[kWireSub + 1] = 3;
      r[kWireSub + 2] = 1;
      dvremu::put32(&r[kWireSub + 4], 4);
      dvremu::put32(&r[kWireSub + 8], 8);
      emu.services().setConfigRecord(kCompressionRead, ch, r);
    }
  }
  size_t PictureWrites() const { return Count(kPictureWrite); }
  // Channel 0's privacy mask switched on with `rects` (x, y, width, height each) stored.
  void SetMasks(const std::vector<uint16_t>& rects) {
    std::vector<uint8_t> r = Picture(0);
    dvremu::put32(&r[kWireMaskEnable], 1);
    for (size_t i = 0; i < rects.size(); ++i) {
      r[kWireMaskRects + 2 * i] = uint8_t(rects[i]);
      r[kWireMaskRects + 2 * i + 1] = uint8_t(rects[i] >> 8);
    }
    SetPicture(0, r);
  }
  // The first `n` values of channel 0's mask rectangles as the device holds them.
  std::vector<uint16_t> Masks(size_t n) {
    const auto r = Picture(0);
    std::vector<uint16_t> v;
    for (size_t i = 0; i < n; ++i)
      v.push_back(uint16_t(r[kWireMaskRects + 2 * i] | r[kWireMaskRects + 2 * i + 1] << 8));
    return v;
  }
};

}  // namespace

TEST_F(VideoPages, OsdEditorDragsTheDateFrameOverLiveVideoAndSendsThePositions) {
  std::vector<uint8_t> r = Picture(0);
  dvremu::put32(&r[kWireShowName], 1);
  dvremu::put32(&r[kWireNameX], 100);
  dvremu::put32(&r[kWireNameY], 60);
  dvremu::put32(&r[kWireShowDate], 1);
  dvremu::put32(&r[kWireDateX], 100);
  dvremu::put32(&r[kWireDateY], 400);
  SetPicture(0, r);
  float scale = 0;
  uint32_t drawn = 0, before = 0;
  size_t writesAfterClick = 0;
  intptr_t answer = -1;
  bool delivered = false;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x4);
              EXPECT_EQ(Find<QComboBox>(page, 4010)->count(), 4);
              OnNextModal([&](QWidget* modal) {
                auto* osd = static_cast<pellmore::CDlgOSDSet*>(modal);
                ASSERT_TRUE(WaitFor([&] { return osd->LiveHandle() >= 0; }));
                pellmore::VideoWindow* video = osd->Video();
                // The first picture latches the scale: D1 in a 352 x 288 window.
                ASSERT_TRUE(WaitFor([&] { return osd->ScaleX() > 0; }));
                scale = osd->ScaleX();
                // The date frame (95, 400)-(580, 432) is drawn into the picture.
                ASSERT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 300, 400) == kRedPixel; }));
                before = PixelShown(video->handle(), 300, 380);
                // A click without movement sends the record with the positions unchanged.
                Mouse(video, QEvent::MouseButtonPress, {20, 20});
                Mouse(video, QEvent::MouseButtonRelease, {20, 20});
                EXPECT_TRUE(DeviceWorkDone());
                writesAfterClick = PictureWrites();
                // Drag the date frame up and right by (10, -10) window pixels.
                Mouse(video, QEvent::MouseButtonPress, {150, 210});
                Mouse(video, QEvent::MouseMove, {160, 200});
                // Beyond the right edge, and onto the name frame: refused.
                Mouse(video, QEvent::MouseMove, {300, 200});
                Mouse(video, QEvent::MouseMove, {160, 40});
                EXPECT_EQ(osd->DateFrame().left, 115.f);
                EXPECT_EQ(osd->DateFrame().top, 380.f);
                Mouse(video, QEvent::MouseButtonRelease, {160, 40});
                EXPECT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 300, 380) == kRedPixel; }));
                drawn = PixelShown(video->handle(), 300, 380);
                Shot(osd, "osd_editor");
                osd->reject();
              });
              Find<QPushButton>(page, 4019)->click();
              Shot(&w, "display");
              // The positions went out at once; Save has nothing left to write.
              Save(w);
              // The window takes the editor's message from anyone: the picture record of the
              // channel in wParam goes out as the window holds it, and the answer is 0.
              const char side[] = "Side";
              std::copy_n(side, sizeof side, w.Records().channels[1].picture.data() + QX_PIC_OFF_NAME);
              answer = plat::sendMessage(w.Handle(), plat::WM_USER + 1234, 1, 0, 5000, &delivered);
              EXPECT_TRUE(DeviceWorkDone());
            }),
            1);
  EXPECT_TRUE(delivered);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(TextAt(Picture(1), 4, 32), "Side");
  EXPECT_EQ(scale, 2.f);
  EXPECT_NE(before, kRedPixel);
  EXPECT_EQ(drawn, kRedPixel);
  EXPECT_EQ(writesAfterClick, 1u);
  EXPECT_EQ(PictureWrites(), 3u);
  const auto stored = Picture(0);
  EXPECT_EQ(dvremu::get32(&stored[kWireDateX]), 120u);
  EXPECT_EQ(dvremu::get32(&stored[kWireDateY]), 380u);
  EXPECT_EQ(dvremu::get32(&stored[kWireNameX]), 100u);
  EXPECT_EQ(dvremu::get32(&stored[kWireNameY]), 60u);
}

TEST_F(VideoPages, DisplayPageKeepsEditsPerChannelAndWritesOnlyWhatChanged) {
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x4);
              auto* channels = Find<QComboBox>(page, 4010);
              auto* name = Find<QLineEdit>(page, 4015);
              channels->setCurrentIndex(1);
              name->setText(QStringLiteral("后门"));
              Find<QComboBox>(page, 4011)->setCurrentIndex(4);
              Find<QCheckBox>(page, 4016)->click();
              channels->setCurrentIndex(0);
              EXPECT_EQ(name->text(), QStringLiteral("Camera 1"));  // the device's own name
              channels->setCurrentIndex(1);
              EXPECT_EQ(name->text(), QStringLiteral("后门"));
              Save(w);
              Save(w);
            }),
            1);
  EXPECT_EQ(PictureWrites(), 1u);
  const auto stored = Picture(1);
  EXPECT_EQ(TextAt(stored, 4, 32), plat::utf16ToGbk(u"后门"));
  EXPECT_EQ(dvremu::get32(&stored[kWireShowDate]), 1u);
  EXPECT_EQ(dvremu::get32(&stored[60]), 4u);
}

TEST_F(VideoPages, MotionGridDrawnOverLiveVideoWithAReleaseOutsideTheWindow) {
  size_t cells = 0;
  uint32_t outline = 0;
  bool cancelKept = false;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x20);
              auto* area = Find<QPushButton>(page, 4019);
              EXPECT_FALSE(area->isEnabled());
              Find<QCheckBox>(page, 4055)->click();
              ASSERT_TRUE(area->isEnabled());
              // Cancel takes back what was drawn.
              OnNextModal([&](QWidget* m) {
                Find<QCheckBox>(m, 4286)->click();
                Drag(static_cast<pellmore::CDlgMotionArea*>(m)->Video(), {0, 0}, {351, 287});
                Find<QPushButton>(m, 4666)->click();
              });
              area->click();
              auto* motion = static_cast<pellmore::CDlgMotionCfg*>(page);
              cancelKept = motion->OnShow().bytes[0] == 0;
              OnNextModal([&](QWidget* m) {
                auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                pellmore::VideoWindow* video = editor->Video();
                EXPECT_FALSE(Find<QSlider>(m, 4288)->isHidden());
                // Without "Begin drawing" a drag changes nothing.
                Drag(video, {10, 10}, {40, 40});
                Find<QCheckBox>(m, 4286)->click();
                Drag(video, {100, 50}, {20, 10});  // columns 1..6, rows 0..3
                // Released far outside: kept to the last column and row.
                Mouse(video, QEvent::MouseButtonPress, {340, 280});
                Mouse(video, QEvent::MouseButtonRelease, {5000, -3000});  // column 21, rows 0..17
                Find<QSlider>(m, 4288)->setValue(2);
                // Cell (0, 1) is outlined in the picture: 32 x 32 picture pixels a cell.
                ASSERT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 48, 0) == kRedPixel; }));
                outline = PixelShown(video->handle(), 48, 0);
                Shot(m, "area_motion_grid");
                Find<QPushButton>(m, 4168)->click();
              });
              area->click();
              Shot(&w, "motion");
              Save(w);
            }),
            1);
  EXPECT_TRUE(cancelKept);
  EXPECT_EQ(outline, kRedPixel);
  const auto stored = Picture(0);
  const uint8_t* grid = &stored[kWireMotion];
  for (int row = 0; row < 64; ++row)
    for (int col = 0; col < 96; ++col) {
      const bool expected = (row <= 3 && col >= 1 && col <= 6) || (row <= 17 && col == 21);
      EXPECT_EQ(grid[row * 96 + col], expected ? 1 : 0) << row << "," << col;
      cells += grid[row * 96 + col];
    }
  EXPECT_EQ(cells, 24u + 18u);
  EXPECT_EQ(stored[kWireMotion + 6144], 2);  // sensitivity high
  EXPECT_EQ(stored[kWireMotion + 6145], 1);  // enabled
  EXPECT_EQ(PictureWrites(), 1u);
}

TEST_F(VideoPages, PrivacyMasksOverlapRefusedFifthIgnoredRectanglesExact) {
  SetMasks({10, 20, 30, 40});
  uint32_t black = 0;
  bool sensitivityHidden = false;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x100);
              auto* area = Find<QPushButton>(page, 4019);
              ASSERT_TRUE(area->isEnabled());
              OnNextModal([&](QWidget* m) {
                auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                pellmore::VideoWindow* video = editor->Video();
                sensitivityHidden = Find<QSlider>(m, 4288)->isHidden();
                EXPECT_EQ(editor->RectsInUse(), 1);
                // The stored rectangle is filled black in the picture.
                ASSERT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 25, 40) == kBlackPixel; }));
                Find<QCheckBox>(m, 4286)->click();
                Drag(video, {100, 100}, {150, 140});  // (200, 200)-(300, 280)
                onMessage = [](const QString&) {};
                Drag(video, {150, 120}, {200, 200});  // shares the edge x = 300: refused
                Drag(video, {10, 200}, {40, 250});
                Drag(video, {250, 10}, {300, 40});
                Drag(video, {200, 200}, {220, 220});  // a fifth: ignored
                EXPECT_EQ(editor->RectsInUse(), 4);
                ASSERT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 250, 240) == kBlackPixel; }));
                black = PixelShown(video->handle(), 250, 240);
                Shot(m, "area_privacy_masks");
                Find<QPushButton>(m, 4168)->click();
              });
              area->click();
              Shot(&w, "video_mask");
              Save(w);
            }),
            1);
  EXPECT_TRUE(sensitivityHidden);
  EXPECT_EQ(black, kBlackPixel);
  EXPECT_EQ(messages, QStringList({QStringLiteral("视频遮挡区域不能重叠！"),
                                   QStringLiteral("配置成功！")}));
  EXPECT_EQ(Masks(16), (std::vector<uint16_t>{10, 20, 30, 40, 200, 200, 100, 80, 20, 400, 60, 100,
                                             500, 20, 100, 60}));
  EXPECT_EQ(dvremu::get32(&Picture(0)[kWireMaskEnable]), 1u);
}

TEST_F(VideoPages, WithoutVideoTheMaskEditorScalesByTheNominalPicture) {
  emu.refuse(3, true);  // no live view
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x100);
              Find<QCheckBox>(page, 4479)->click();
              OnNextModal([&](QWidget* m) {
                auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                EXPECT_TRUE(DeviceWorkDone());  // the live view was refused
                EXPECT_LT(editor->LiveHandle(), 0);
                Find<QCheckBox>(m, 4286)->click();
                Drag(editor->Video(), {50, 50}, {60, 70});
                Drag(editor->Video(), {100, 100}, {110, 120});  // a second, not an "overlap"
                Find<QPushButton>(m, 4168)->click();
              });
              Find<QPushButton>(page, 4019)->click();
              Save(w);
            }),
            1);
  EXPECT_EQ(messages, QStringList({QStringLiteral("配置成功！")}));
  EXPECT_EQ(Masks(8), (std::vector<uint16_t>{100, 100, 20, 40, 200, 200, 20, 40}));
}

TEST_F(VideoPages, TamperOffSurvivesSaveAndTheSliderStoresEachLevel) {
  std::vector<uint8_t> r = Picture(2);
  dvremu::put32(&r[kWireTamper], 2);
  SetPicture(2, r);
  int middle = -1;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x80);
              auto* channels = Find<QComboBox>(page, 4010);
              auto* slider = Find<QSlider>(page, 4351);
              for (int i = 0; i < 4; ++i) channels->setCurrentIndex(i);
              channels->setCurrentIndex(2);
              middle = slider->value();
              Save(w);
              EXPECT_EQ(PictureWrites(), 0u);
              channels->setCurrentIndex(1);
              slider->setValue(3);
              Shot(&w, "tamper");
              Save(w);
            }),
            1);
  EXPECT_EQ(middle, 2);
  EXPECT_EQ(PictureWrites(), 1u);
  EXPECT_EQ(dvremu::get32(&Picture(1)[kWireTamper]), 3u);
  EXPECT_EQ(dvremu::get32(&Picture(0)[kWireTamper]), 0u);
}

TEST_F(VideoPages, MotionLinkageAndVideoLossGoIntoTheirSubRecords) {
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* motion = Select(w, 0x20);
              Find<QCheckBox>(motion, 4055)->click();
              OnNextModal([](QWidget* m) {
                Find<QCheckBox>(m, 4344)->click();  // voice alarm
                Find<QPushButton>(m, 4168)->click();
              });
              Find<QPushButton>(motion, 4058)->click();
              QWidget* loss = Select(w, 0x40);
              auto* enable = Find<QCheckBox>(loss, 4066);
              Find<QComboBox>(loss, 4010)->setCurrentIndex(3);
              enable->click();
              EXPECT_TRUE(Find<QPushButton>(loss, 4057)->isEnabled());
              enable->click();
              EXPECT_FALSE(Find<QPushButton>(loss, 4057)->isEnabled());
              EXPECT_FALSE(Find<QPushButton>(loss, 4068)->isEnabled());
              enable->click();
              Shot(&w, "video_loss");
              Save(w);
            }),
            1);
  EXPECT_EQ(PictureWrites(), 2u);
  EXPECT_EQ(dvremu::get32(&Picture(0)[kWireMotion + 6148]), 0x02u);
  EXPECT_EQ(Picture(3)[64], 1);  // video loss enabled on channel 4
}

TEST_F(VideoPages, CompressionPageWritesACustomRateAndCopiesToChannels) {
  SeedCompression();
  QStringList bitrates;
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x8);
              auto* rate = Find<QComboBox>(page, 4032);
              for (int i = 0; i < rate->count(); ++i) bitrates << rate->itemText(i);
              Save(w);
              EXPECT_TRUE(Writes().empty());
              // A rate above 512 x the frame rate is refused and the lists go back.
              auto* frames = Find<QComboBox>(page, 4033);
              frames->setCurrentIndex(12);  // "1"
              emit frames->activated(12);
              EXPECT_EQ(frames->currentIndex(), 0);
              EXPECT_EQ(rate->currentIndex(), 0);
              // Custom on the main stream: 1536 offered, 5000 typed becomes 2560.
              rate->setCurrentIndex(3);
              emit rate->activated(3);
              auto* custom = Find<pellmore::LimitedEdit>(page, 4042);
              EXPECT_EQ(custom->text(), QStringLiteral("1536"));
              custom->setText(QStringLiteral("5000"));
              emit custom->FocusLeft();
              EXPECT_EQ(custom->text(), QStringLiteral("2560"));
              OnNextModal([](QWidget* m) {
                Find<QListWidget>(m, 4166)->item(2)->setCheckState(Qt::Checked);
                Find<QPushButton>(m, 4168)->click();
              });
              Find<QPushButton>(page, 4021)->click();
              Shot(&w, "video");
              Save(w);
            }),
            1);
  EXPECT_EQ(bitrates, QStringList({"1536K", "2048K", "2560K", QStringLiteral("自定义")}));
  EXPECT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[1], QStringLiteral("码率不能大于帧率的512倍！"));
  EXPECT_EQ(Count(59), 2u);
  for (uint32_t ch : {0u, 2u}) {
    const auto c = Stored(kCompressionRead, ch);
    EXPECT_EQ(dvremu::get32(&c[kWireMain + 4]), 0x80000000u + 2560) << ch;
    EXPECT_EQ(dvremu::get32(&c[kWireSub + 4]), 4u) << ch;
  }
  EXPECT_EQ(dvremu::get32(&Stored(kCompressionRead, 1)[kWireMain + 4]), 21u);
}

TEST(CompressionLists, PerProfileStreamAndChannelCount) {
  struct Case {
    uint8_t profile;
    int channels;
    int stream;
    QStringList resolutions, bitrates;
    QString resolution, bitrate, frame;
  };
  // The pages read the language of the last call; a screenshot case run before in this
  // process may have left it English.
  pellmore::g_LanguageId = 4;
  const QString custom = QStringLiteral("自定义");
  const Case cases[] = {
      {0, 4, 0, {"D1"}, {"1536K", "2048K", "2560K", custom}, "D1", "1536K", "25(PAL)/30(NTSC)"},
      {0, 4, 1, {"CIF"}, {"64K", "96K", "128K", "192K", "256K", custom}, "CIF", "64K", "6"},
      {0, 16, 1, {"CIF"}, {"128K", "256K", "384K", "512K", "768K", "1024K", custom}, "CIF", "128K", "6"},
      {0, 8, 1, {"CIF"}, {custom}, "CIF", custom, "6"},
      {2, 4, 0, {"CIF"}, {"384K", "512K", "768K", custom}, "CIF", "512K", "25(PAL)/30(NTSC)"},
      {2, 16, 1, {"QCIF", "CIF"}, {"32K", "48K", "64K", "96K", "128K", "256K", custom}, "CIF", "32K", "4"},
  };
  for (const Case& c : cases) {
    auto records = std::make_unique<pellmore::ConfigRecords>();
    records->channels.resize(size_t(c.channels));
    for (int i = 0; i < c.channels; ++i) {
      pellmore::ChannelParamBlock& b = records->channels[size_t(i)];
      b.channel = i;
      // What the refill chose is what a stored stream shows: frame code 8 is "6".
      uint8_t* s = b.compression.data() + (c.stream ? pellmore::kSubStreamAt : pellmore::kMainStreamAt);
      s[1] = c.resolution == "D1" ? 0 : 3;
      plat::putLe32(s + 4, 0x80000000u + 200);
    }
    pellmore::PageContext context;
    context.records = records.get();
    context.videoByte = c.profile;
    pellmore::CDlgVideoCfg page(nullptr);
    page.Load(context);
    auto* stream = Find<QComboBox>(&page, 4028);
    stream->setCurrentIndex(c.stream);
    emit stream->activated(c.stream);
    auto texts = [](QComboBox* l) {
      QStringList t;
      for (int i = 0; i < l->count(); ++i) t << l->itemText(i);
      return t;
    };
    const std::string what = std::to_string(c.profile) + "/" + std::to_string(c.channels) + "/" +
                             std::to_string(c.stream);
    EXPECT_EQ(texts(Find<QComboBox>(&page, 4030)), c.resolutions) << what;
    EXPECT_EQ(texts(Find<QComboBox>(&page, 4032)), c.bitrates) << what;
    // A stored custom rate shows "Custom" with the rate in the edit.
    EXPECT_EQ(Find<QComboBox>(&page, 4032)->currentText(), custom) << what;
    EXPECT_EQ(Find<QLineEdit>(&page, 4042)->text(), QStringLiteral("200")) << what;
  }
}

TEST_F(VideoPages, AWholeSessionWritesOnlyTheChannelWhoseMaskEditorRanAndThatAsItWas) {
  SeedRecords();
  SeedCompression();
  const auto before = Picture(0);
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              for (const pellmore::PageEntry& e : pellmore::PageTable()) {
                if (!pellmore::PageFactoryFor(e.bit)) continue;
                QWidget* page = Select(w, e.bit);
                if (!page) continue;
                // Every channel of a channel page is shown once.
                if (auto* channels = Find<QComboBox>(page, 4010))
                  for (int i = 0; i < channels->count(); ++i) channels->setCurrentIndex(i);
              }
              // The mask editor over live video, left with OK and nothing drawn: the scales
              // it took from the picture are in the channel's entry, which now differs from
              // what was loaded.
              QWidget* mask = Select(w, 0x100);
              Find<QCheckBox>(mask, 4479)->click();
              OnNextModal([&](QWidget* m) {
                auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                plat::PresentedPicture pic;
                EXPECT_TRUE(WaitFor([&] {
                  return plat::lastPresented(editor->Video()->handle(), &pic) && pic.serial > 2;
                }));
                Find<QPushButton>(m, 4168)->click();
              });
              Find<QPushButton>(mask, 4019)->click();
              Find<QCheckBox>(mask, 4479)->click();
              Save(w);
            }),
            1);
  // That channel's picture record, with the values it came with (after the channel word the
  // write names); nothing else.
  EXPECT_EQ(Writes(), (std::map<uint32_t, size_t>{{kPictureWrite, 1}}));
  const auto after = Picture(0);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(std::equal(after.begin() + 4, after.end(), before.begin() + 4));
  EXPECT_EQ(messages, QStringList({QStringLiteral("配置成功！")}));
}

TEST_F(VideoPages, AMaskIsCheckedAsDrawnAndCutToWholeUnitsWhenStored) {
  // 720 picture pixels across the 352-pixel window: 2.045 a window pixel.
  dvremu::StreamClip clip;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(true, 720, 576, 10, 25, false, &clip, &error)) << error;
  emu.setClip(clip);
  SetMasks({0, 0, 100, 100});
  ASSERT_EQ(Open([&](pellmore::CDlgMain& w) {
              QWidget* page = Select(w, 0x100);
              OnNextModal([&](QWidget* m) {
                auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                pellmore::VideoWindow* video = editor->Video();
                // The first picture drawn (the stored mask black in it) set the scales.
                ASSERT_TRUE(WaitFor([&] { return PixelShown(video->handle(), 50, 50) == kBlackPixel; }));
                Find<QCheckBox>(m, 4286)->click();
                // Left edge at 49 x 2.045 = 100.2: clear of the stored right edge 100, though
                // it is 100 once cut.
                Drag(video, {49, 10}, {80, 40});
                EXPECT_EQ(editor->RectsInUse(), 2);
                Find<QPushButton>(m, 4168)->click();
              });
              Find<QPushButton>(page, 4019)->click();
              Save(w);
            }),
            1);
  EXPECT_EQ(messages, QStringList({QStringLiteral("配置成功！")}));
  EXPECT_EQ(Masks(8), (std::vector<uint16_t>{0, 0, 100, 100, 100, 20, 63, 60}));
}

TEST_F(VideoPages, UnregisteringTheDrawRoutineWaitsForACallInProgress) {
  static std::atomic<bool> entered, unregistering, inside;
  entered = unregistering = inside = false;
  bool insideAfter = true;
  int32_t live = -1;
  ASSERT_EQ(Open([&](pellmore::CDlgMain&) {
              pellmore::VideoWindow window(nullptr, 1, 352, 288);
              live = pellmore::StartChannelVideo(window.handle(), pellmore::GetDeviceSession(), 1);
              ASSERT_GE(live, 0);
              RecNet_RigisterDrawFun(
                  live,
                  [](int32_t, intptr_t, void*, int32_t, int32_t, int32_t, int32_t) {
                    inside = true;
                    entered = true;
                    // Still drawing when the dialog starts to unregister.
                    while (!unregistering) QThread::msleep(1);
                    QThread::msleep(30);
                    inside = false;
                  },
                  nullptr);
              ASSERT_TRUE(WaitFor([] { return entered.load(); }));
              unregistering = true;
              RecNet_RigisterDrawFun(live, nullptr, nullptr);
              insideAfter = inside;
              RecNet_StopRealPlay(live);
            }),
            1);
  EXPECT_FALSE(insideAfter);
}

TEST_F(VideoPages, EnglishScreenshots) {
  if (qEnvironmentVariable("TARNWICK_SCREENSHOTS").isEmpty())
    GTEST_SKIP() << "TARNWICK_SCREENSHOTS not set";
  SeedCompression();
  ASSERT_EQ(Open(
                [&](pellmore::CDlgMain& w) {
                  const std::pair<uint32_t, const char*> pages[] = {
                      {0x4, "display_en"}, {0x8, "video_en"},  {0x20, "motion_en"},
                      {0x40, "video_loss_en"}, {0x80, "tamper_en"}, {0x100, "video_mask_en"}};
                  for (const auto& [bit, name] : pages) {
                    Select(w, bit);
                    Shot(&w, name);
                  }
                  QWidget* motion = Select(w, 0x20);
                  Find<QCheckBox>(motion, 4055)->click();
                  OnNextModal([&](QWidget* m) {
                    auto* editor = static_cast<pellmore::CDlgMotionArea*>(m);
                    Find<QCheckBox>(m, 4286)->click();
                    Drag(editor->Video(), {40, 40}, {150, 120});
                    ASSERT_TRUE(WaitFor(
                        [&] { return PixelShown(editor->Video()->handle(), 96, 96) == kRedPixel; }));
                    Shot(m, "area_motion_grid_en");
                    Find<QPushButton>(m, 4666)->click();
                  });
                  Find<QPushButton>(motion, 4019)->click();
                },
                9),
            1);
}
