// The names of recordings and downloads: every name the ring and the remote page build is read
// back by the local page's parsers to the same device, channel and times, with '_' and hostile
// characters in device names; names that are not ours are refused without reading past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "plat/text.h"
#include "shell/FileFindEx.h"
#include "support/TestFolder.h"
#include "view/PlaybackNames.h"

using namespace playback_names;
namespace fs = std::filesystem;

namespace {

const std::u16string kDevices[] = {u"门口", u"Front_Door_2", u"_", u"a__b_01_20261208_101010",
                                   u"../..\\C:x", u"x/y", u"Cam", u"\x1B[31mHall\x7F\tgate\n"};

bool HoldsControls(const std::u16string& text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) { return plat::isControlChar(c); });
}

TEST(PlaybackNames, RingRecordingsReadBackToTheirDeviceChannelAndStart) {
  const plat::LocalTime t{2026, 12, 8, 9, 5, 7, 0, 2};
  for (const std::u16string& device : kDevices) {
    for (int type : {1, 2, 4}) {
      for (int channel : {1, 16, 64}) {
        SCOPED_TRACE(plat::utf16ToUtf8(device) + " type " + std::to_string(type));
        std::u16string name = RingRecordingName(u"d:\\\\RecordFile\\", type, device, channel, t, 123456);
        // The camera's recorder completes the prefix with its own stamp and extension.
        if (type != 1) name += u"_20261208_090508.avi";
        const std::u16string file = NameOfPath(name);
        EXPECT_EQ(name.substr(0, name.size() - file.size()), u"d:\\\\RecordFile\\\\");
        ASSERT_EQ(ClassifyLocalFile(name), LocalKind::Recording);
        ParsedName p;
        ASSERT_TRUE(ParseRecordingName(file, device, p));
        EXPECT_EQ(p.channel, channel);
        EXPECT_EQ(p.start, "20261208090507");
        // Another device's recordings are not this one's, even when its name is a prefix.
        EXPECT_FALSE(ParseRecordingName(file, device + u"X", p));
        // No separator or control character of the device name survives into the file name.
        EXPECT_EQ(file.find_first_of(u"\\/:"), std::u16string::npos);
        EXPECT_EQ(file.find(u".."), std::u16string::npos);
        EXPECT_FALSE(HoldsControls(file));
      }
    }
  }
  ParsedName p;
  EXPECT_TRUE(ParseRecordingName(u"preview_CAM_02_20261208_235959_1.264", u"cam", p)) << "letter case";
  EXPECT_EQ(p.channel, 2);
  // Recordings named while a DEL still went into names are still the device's.
  EXPECT_TRUE(ParseRecordingName(u"Preview_Cam\x7F_03_20261208_235959_1.264", u"Cam\x7F", p));
  EXPECT_EQ(p.channel, 3);
}

// A device name of the 63 Chinese characters the add dialog takes: the ring's names cut it at
// a character's end so that the longest name a recorder makes of them fits a file name, and
// the local page reads them back; recordings named in full before are read too.
TEST(PlaybackNames, LongDeviceNamesAreCutAtACharacterToFitAFileName) {
  const plat::LocalTime t{2026, 12, 8, 9, 5, 7, 0, 2};
  std::u16string chinese;
  for (int i = 0; i < 63; ++i) chinese += static_cast<char16_t>(0x95E8 + i % 20);
  const std::u16string emoji = std::u16string(kRingDevicePartBytes - 2, u'a') + u"\U0001F600b";
  for (const std::u16string& device : {chinese, emoji}) {
    const std::u16string part = RingDevicePart(device);
    EXPECT_LT(part.size(), device.size());
    EXPECT_EQ(device.rfind(part, 0), 0u) << "a beginning of the name";
    EXPECT_LE(plat::utf16ToUtf8(part).size(), kRingDevicePartBytes);
    EXPECT_EQ(plat::utf8ToUtf16(plat::utf16ToUtf8(part)), part) << "no character cut in two";
    // The longest a camera's recorder makes of a ring name: still a name the system holds.
    const std::u16string name =
        RingRecordingName(u"d:\\\\RecordFile\\", 2, device, 64, t, 0x80000000u) + u"_20261208_090508_99.avi";
    EXPECT_LE(plat::utf16ToUtf8(name).size(), 255u);
    ParsedName p;
    ASSERT_TRUE(ParseRecordingName(NameOfPath(name), device, p));
    EXPECT_EQ(p.channel, 64);
  }
  ParsedName p;
  EXPECT_TRUE(ParseRecordingName(u"Preview_" + chinese + u"_03_20261208_090507_5.264", chinese, p));
  EXPECT_EQ(p.channel, 3);
}

TEST(PlaybackNames, DownloadsReadBackFromTheRightWithUnderscoresInTheDevice) {
  for (const std::u16string& device : kDevices) {
    {
      SCOPED_TRACE(plat::utf16ToUtf8(device));
      const std::u16string file =
          DownloadFileName(1, device, 7, "20261208100000", "20261208103000", u"ch07_x.MP4");
      EXPECT_EQ(file.find_first_of(u"\\/:"), std::u16string::npos);
      EXPECT_FALSE(HoldsControls(file));
      ASSERT_EQ(ClassifyLocalFile(u"C:\\DownloadFile\\" + file), LocalKind::Download);
      std::u16string parsedDevice;
      ParsedName p;
      ASSERT_TRUE(ParseDownloadName(file, parsedDevice, p));
      EXPECT_EQ(parsedDevice, FileNamePart(device));
      EXPECT_TRUE(SameDevicePart(parsedDevice, device));
      EXPECT_FALSE(SameDevicePart(parsedDevice, device + u"X"));
      EXPECT_EQ(p.channel, 7);
      EXPECT_EQ(p.start, "20261208100000");
      EXPECT_EQ(p.end, "20261208103000");
      EXPECT_EQ(file.substr(file.rfind(u'.')), u".h264");
    }
    // Other recorders' downloads are named by the device and the remote file, each made safe.
    const std::u16string other =
        DownloadFileName(4, device, 7, "20261208100000", "20261208103000", u"..\\ch07:x/y.MP4");
    EXPECT_EQ(other, FileNamePart(device) + u"_" + FileNamePart(u"..\\ch07:x/y.MP4"));
    EXPECT_EQ(other.find_first_of(u"\\/:"), std::u16string::npos);
    EXPECT_FALSE(HoldsControls(other));
  }
  EXPECT_EQ(DownloadFileName(4, u"n", 1, "20260101000000", "20260101000001", u"ch01_file1.h264"),
            u"n_ch01_file1.h264");
  // A download named while a DEL still went into names is still the device's.
  EXPECT_TRUE(SameDevicePart(u"Cam\x7F", u"Cam\x7F"));
}

TEST(PlaybackNames, ShortRecordingsTakeAddressPortAndChannelFromTheirFolder) {
  const std::u16string path = u"C:\\RecordFile\\192.168.1.9_8000_3\\20261208_101010abcd";
  ASSERT_EQ(ClassifyLocalFile(path), LocalKind::ShortRecording);
  ParsedName p;
  ASSERT_TRUE(ParseShortRecordingName(NameOfPath(path), FolderOfPath(path), p));
  EXPECT_EQ(p.ip, u"192.168.1.9");
  EXPECT_EQ(p.port, 8000);
  EXPECT_EQ(p.channel, 3);
  EXPECT_EQ(p.start, "20261208101010");
  for (const char16_t* folder : {u"", u"_", u"a_b", u"1.2.3.4__3", u"1.2.3.4_80_", u"_80_3",
                                 u"1.2.3.4_999999_3", u"ip_80_x"})
    EXPECT_FALSE(ParseShortRecordingName(u"20261208_101010abcd", folder, p)) << plat::utf16ToUtf8(folder);
  EXPECT_FALSE(ParseShortRecordingName(u"2026120a_101010abcd", u"1.2.3.4_80_3", p));
}

TEST(PlaybackNames, ShortAndHostileNamesAreRefused) {
  const std::u16string hostile[] = {
      u"", u"P", u"Preview", u"Preview_", u"Preview_Cam", u"Preview_Cam_", u"Preview_Cam_0",
      u"Preview_Cam_01_2026", u"Preview_Cam_01_20261208_", u"Preview_Cam_01_20261208_1010",
      u"Preview_Cam_0x_20261208_101010", u"Preview_Cam_01-20261208_101010",
      u"_01_20261208100000_20261208103000.h264", u"x_01_20261208100000_2026120810300.h264",
      u"x_01_20261208100000-20261208103000.h264", u"x_1_20261208100000_20261208103000.h264",
      u"x_01_20261208100000_20261208103000", u".", u"..", u"\\", u"////"};
  for (const std::u16string& name : hostile) {
    SCOPED_TRACE(plat::utf16ToUtf8(name));
    ParsedName p;
    std::u16string device;
    EXPECT_FALSE(ParseRecordingName(name, u"Cam", p));
    EXPECT_FALSE(ParseDownloadName(name, device, p));
    EXPECT_FALSE(ParseShortRecordingName(name, u"1.2.3.4_80_3", p));
  }
  EXPECT_EQ(ClassifyLocalFile(u"no-separator-Preview_Cam_01_20261208_101010"), LocalKind::Ignored);
  EXPECT_EQ(ClassifyLocalFile(u"C:\\x\\short.avi"), LocalKind::Ignored);
  int h = 1, m = 1, s = 1;
  StampClock("2026", h, m, s);
  EXPECT_EQ(h + m + s, 0);
  StampClock("20261208235958", h, m, s);
  EXPECT_EQ(h * 10000 + m * 100 + s, 235958);
}

void CountFile(std::u16string path, uint32_t, void* user) {
  static_cast<std::multiset<std::u16string>*>(user)->insert(path);
}

TEST(PlaybackNames, AWalkThroughALinkLoopEndsAndReportsEachFileOnce) {
  const fs::path root = testsupport::NewTestFolder();
  fs::create_directories(root / "a" / "b");
  { FILE* f = std::fopen((root / "a" / "b" / "rec.avi").c_str(), "w"); std::fclose(f); }
  fs::create_directory_symlink(root, root / "a" / "b" / "up");
  fs::create_symlink(root / "a" / "b" / "rec.avi", root / "a" / "link.avi");
  CFileFindEx walker;
  std::multiset<std::u16string> seen;
  walker.SetCallback(&CountFile, &seen);
  EXPECT_EQ(walker.FindFiles(plat::utf8ToUtf16(root.string())), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(NameOfPath(*seen.begin()), u"rec.avi");
  fs::remove_all(root);
}

}  // namespace
