// Image buttons, state buttons and the skin images they load.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SkinImages.h"
#include "harness/Recorder.h"
#include "harness/UiHarness.h"

using harness::RecordingParent;

namespace {
// A resource of the skin's set, built into this test program only, whose bytes are no picture.
constexpr int kNotAPictureResource = 99999;
}  // namespace

TEST(ControlsSkin, EveryTableImageIsBuiltAtItsSize) {
  ASSERT_GT(SkinImageTable().size(), 100u);
  for (const SkinImage& s : SkinImageTable()) {
    QImage img;
    ASSERT_TRUE(LoadPngResource(&img, s.id)) << s.id;
    EXPECT_EQ(img.size(), QSize(s.width, s.height)) << s.id;
  }
  // Images that carry text exist in both languages at the same size.
  for (int id : {6719, 6717, 6865, 6743, 6095}) {
    const SkinImage* zh = FindSkinImage(id);
    const SkinImage* en = FindSkinImage(LocalizedImageId(id, kLanguageEnglishImages));
    ASSERT_TRUE(zh && en) << id;
    EXPECT_EQ(zh->width, en->width);
    EXPECT_NE(std::string(zh->source), std::string(en->source));
  }
  EXPECT_EQ(LocalizedImageId(6743, 4), 6743);
  EXPECT_EQ(LocalizedImageId(6743, 9), 16743);
}

TEST(ControlsSkin, PngResourceFailures) {
  QImage img(4, 4, QImage::Format_ARGB32);
  EXPECT_FALSE(LoadPngResource(nullptr, 6899));
  EXPECT_FALSE(LoadPngResource(&img, 1));  // no such resource
  EXPECT_TRUE(img.isNull());               // emptied first

  QTemporaryDir dir;
  const QString bad = dir.filePath("bad.png");
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("\x89PNG not really a picture");
  f.close();
  // A resource that is there but is no picture: found, so true, and the image stays empty.
  img = QImage(4, 4, QImage::Format_ARGB32);
  EXPECT_TRUE(LoadPngResource(&img, kNotAPictureResource));
  EXPECT_TRUE(img.isNull());
  img = QImage(4, 4, QImage::Format_ARGB32);
  EXPECT_TRUE(LoadImageFromResource(img, kNotAPictureResource));
  EXPECT_TRUE(img.isNull());
  CBitmapButtonEx button;
  EXPECT_TRUE(button.LoadImageResources(kNotAPictureResource));
  EXPECT_EQ(button.ChooseImage(false, false), -1);

  // A file's bytes that are no picture are a failure, not an empty success.
  EXPECT_FALSE(LoadImageFile(img, bad));
  EXPECT_TRUE(img.isNull());
  EXPECT_FALSE(LoadImageFile(img, dir.filePath("missing.png")));
}

TEST(ControlsButton, ImageChoiceFallsBackToNormal) {
  CBitmapButtonEx b;
  EXPECT_EQ(b.ChooseImage(true, true), -1);  // nothing loaded: nothing drawn
  ASSERT_TRUE(b.LoadImageResources(6895));
  EXPECT_EQ(b.ChooseImage(true, true), CBitmapButtonEx::kNormal);
  EXPECT_EQ(b.ChooseImage(true, false), CBitmapButtonEx::kNormal);
  ASSERT_TRUE(b.LoadImageResources(6895, 6896, 6897, 0, 0, 1));
  EXPECT_EQ(b.ChooseImage(true, true), CBitmapButtonEx::kPressed);
  EXPECT_EQ(b.ChooseImage(true, false), CBitmapButtonEx::kHover);
  EXPECT_EQ(b.ChooseImage(false, true), CBitmapButtonEx::kNormal);
  EXPECT_EQ(b.DrawTextFlag(), 1);

  CBitmapButtonEx hoverOnly;
  ASSERT_TRUE(hoverOnly.LoadImageResources(6895, 6896));
  EXPECT_EQ(hoverOnly.ChooseImage(true, true), CBitmapButtonEx::kHover);

  b.FreeImages();
  EXPECT_EQ(b.ChooseImage(false, false), -1);
}

TEST(ControlsButton, LoadRulesAndSizing) {
  CBitmapButtonEx b;
  EXPECT_FALSE(b.LoadImageResources(0, 6896));   // normal required
  EXPECT_FALSE(b.LoadImageResources(6895, 1));   // a missing hover image fails the load
  EXPECT_FALSE(b.Image(CBitmapButtonEx::kNormal).isNull());  // what loaded before stays
  EXPECT_FALSE(b.LoadImageFiles(QString()));
  EXPECT_FALSE(b.LoadImageResourceNames({QString(), "6896"}));
  EXPECT_TRUE(b.LoadImageResourceNames({"6900", "6901", "6902"}));

  RecordingParent parent;
  CBitmapButtonEx c(&parent);
  c.setGeometry(17, 23, 5, 5);
  c.SizeToImage();  // nothing loaded: unchanged
  EXPECT_EQ(c.geometry(), QRect(17, 23, 5, 5));
  ASSERT_TRUE(c.LoadImageResources(6895));
  c.SizeToImage();
  EXPECT_EQ(c.geometry(), QRect(17, 23, 84, 26));
  EXPECT_EQ(c.GetImageWidth(), 84);
  EXPECT_EQ(c.GetImageHeight(), 26);
}

TEST(ControlsButton, PlaceBeside) {
  RecordingParent parent;
  QWidget other(&parent);
  other.setGeometry(10, 20, 50, 30);
  CBitmapButtonEx b(&parent);
  b.setGeometry(0, 0, 8, 9);
  b.PlaceBeside(&other, 4, -1);
  EXPECT_EQ(b.geometry(), QRect(64, 20, 8, 9));
  b.PlaceBeside(&other, -1, 7);
  EXPECT_EQ(b.geometry(), QRect(10, 57, 8, 9));
  b.move(1, 1);
  b.PlaceBeside(&other, 3, 3);  // both: ends below
  EXPECT_EQ(b.pos(), QPoint(10, 53));
  b.PlaceBeside(&other, -1, -1);
  EXPECT_EQ(b.pos(), QPoint(10, 53));

  CBitmapButtonEx orphan;
  orphan.move(5, 5);
  orphan.PlaceBeside(&other, 4, 4);
  EXPECT_EQ(orphan.pos(), QPoint(5, 5));
}

TEST(ControlsButton, NotificationsComeBeforeTheClick) {
  RecordingParent parent;
  CBitmapButtonEx b(&parent, 1234);
  b.LoadImageResources(6895, 6896, 6897);
  b.SizeToImage();
  QObject::connect(&b, &QAbstractButton::clicked, [&] { parent.events.push_back("click"); });
  harness::Click(&b, QPoint(5, 5));
  harness::Leave(&b);
  ASSERT_EQ(parent.events, (std::vector<std::string>{"msg5684", "msg5685", "click", "msg5686"}));
  for (const auto& m : parent.messages) {
    EXPECT_EQ(m.wParam, 1234u);
    EXPECT_EQ(m.lParam, WindowHandleOf(&b));
  }
  EXPECT_NE(WindowHandleOf(&b), 0);
}

// A disabled button draws as an enabled one: the hover image under the mouse, the normal one
// otherwise, neither faded.
TEST(ControlsButton, DisabledDrawsAsEnabled) {
  RecordingParent parent;
  auto make = [&parent] {
    auto b = std::make_unique<CBitmapButtonEx>(&parent, 1098);
    b->LoadImageResources(6877, 6878, 6879);
    b->SizeToImage();
    return b;
  };
  auto hovered = make();
  harness::Enter(hovered.get());
  const QImage enabledHover = harness::Grab(hovered.get());
  hovered->setEnabled(false);
  const QImage disabledHover = harness::Grab(hovered.get());
  auto plain = make();
  const QImage enabledPlain = harness::Grab(plain.get());
  plain->setEnabled(false);
  const QImage disabledPlain = harness::Grab(plain.get());
  EXPECT_NE(enabledHover, enabledPlain);  // the hover image shows while enabled
  EXPECT_EQ(disabledHover, enabledHover);  // and disabled
  EXPECT_EQ(disabledPlain, enabledPlain);  // not faded
}

TEST(ControlsButton, KeysBecomeEscapeForTheParent) {
  RecordingParent parent;
  CBitmapButtonEx b(&parent, 7);
  bool clicked = false;
  QObject::connect(&b, &QAbstractButton::clicked, [&] { clicked = true; });
  for (int key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    harness::KeyPress(&b, key, key == Qt::Key_Space ? " " : QString());
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, key == Qt::Key_Space ? " " : QString());
    QApplication::sendEvent(&b, &release);
  }
  harness::Pump();
  EXPECT_FALSE(clicked);
  EXPECT_EQ(parent.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_Escape, Qt::Key_Escape, Qt::Key_Escape}));
}

TEST(ControlsStateButton, StatesAndToggle) {
  RecordingParent parent;
  CStateButton s(&parent, 1005);
  EXPECT_FALSE(s.LoadStateImageResources(6719, 6719, 6717, 1));
  ASSERT_TRUE(s.LoadStateImageResources(6719, 6719, 6717, 6717));
  QImage off, on;
  LoadPngResource(&off, 6719);
  LoadPngResource(&on, 6717);
  EXPECT_EQ(s.GetState(), 0);
  EXPECT_EQ(s.Image(CBitmapButtonEx::kNormal), off);
  s.SetState(1);
  EXPECT_EQ(s.Image(CBitmapButtonEx::kNormal), on);
  EXPECT_EQ(s.Image(CBitmapButtonEx::kPressed), on);
  s.ToggleState();
  EXPECT_EQ(s.GetState(), 0);
  EXPECT_EQ(s.Image(CBitmapButtonEx::kNormal), off);  // the state images kept their pixels
  s.SetState(2);
  EXPECT_EQ(s.ChooseImage(false, false), -1);
  s.ToggleState();
  EXPECT_EQ(s.GetState(), 2);
  s.SetState(1);

  // Presses reach the page as clicks only.
  int clicks = 0;
  QObject::connect(&s, &QAbstractButton::clicked, [&] { ++clicks; });
  s.resize(40, 20);
  harness::Click(&s, QPoint(3, 3));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(parent.messages.empty());
  harness::Leave(&s);
  ASSERT_EQ(parent.messages.size(), 1u);
  EXPECT_EQ(parent.messages[0].message, WM_IMAGEBUTTON_LEAVE);
}
