// Remote file search, download and playback against the camera emulator.
#include <cstring>

#include "audio/audio_device.h"
#include "dvrfile/playback.h"
#include "stream_fixture.h"
#include "support/TimeScale.h"
#include "video/video_player.h"

namespace cvtest {
namespace {

using camemu::FileFault;

struct SearchLog {
  std::vector<std::vector<uint8_t>> records;
  int ends = 0;
  size_t endAt = 0;  // records before the end mark
  static void cb(int kind, const void* record, void* user) {
    auto* self = static_cast<SearchLog*>(user);
    if (kind == kIpcSearchRecord) {
      auto* p = static_cast<const uint8_t*>(record);
      self->records.emplace_back(p, p + kIpcFileRecordSize);
    } else {
      EXPECT_EQ(kind, kIpcSearchEnd);
      EXPECT_EQ(record, nullptr);
      ++self->ends;
      self->endAt = self->records.size();
    }
  }
};

struct DownloadLog {
  std::vector<int> kinds;
  std::vector<uint8_t> bytes;
  uint32_t announced = 0;
  static void cb(int kind, const void* info, const void* data, int length, void* user) {
    auto* self = static_cast<DownloadLog*>(user);
    self->kinds.push_back(kind);
    if (kind == kIpcDownloadAccepted) {
      std::memcpy(&self->announced, info, 4);
      EXPECT_EQ(data, nullptr);
    }
    if (kind == kIpcDownloadData) {
      EXPECT_EQ(info, nullptr);
      EXPECT_LE(length, static_cast<int>(kIpcMsgPayloadSize));
      auto* p = static_cast<const uint8_t*>(data);
      self->bytes.insert(self->bytes.end(), p, p + length);
    }
  }
};

class DvrFiles : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    std::vector<camemu::StoredFile> files;
    for (int i = 0; i < 3; ++i) {
      camemu::StoredFile f;
      f.name = "ch01_2026120" + std::to_string(i) + ".h264";
      f.start = 1764547200 + i * 3600;
      f.end = f.start + 600;
      for (int b = 0; b < 1500 + i * 977; ++b) f.bytes.push_back(static_cast<uint8_t>(b * 7 + i));
      f.frames = framesOf(testClip(clipgen::Codec::H264));
      files.push_back(f);
    }
    media.setFiles(files);
    stored = files;
  }
  IpcDownloadRequest requestFor(const std::string& name) {
    IpcDownloadRequest r{};
    std::memcpy(r.bytes + 4, name.data(), name.size());
    return r;
  }
  IpcPlaybackRequest playFor(const std::string& name) {
    IpcPlaybackRequest r{};
    std::memcpy(r.bytes + 8, name.data(), name.size());
    return r;
  }
  std::vector<camemu::StoredFile> stored;
};

TEST_F(DvrFiles, SearchDeliversEveryRecordThenTheEndAndReadsOnBehindIt) {
  // The camera keeps the connection open after its list: the search ends when the next
  // message's wait runs out (5 s, made short here).
  testsupport::ScopedTimeScale scale(0.2);
  IPC_HANDLE task = IPC_DvrFilOpen(openSession());
  IpcFileSearchCond cond{};
  cond.bytes[0] = 1;
  cond.bytes[8] = 0x42;
  media.injectFileFault(FileFault::RecordAfterEnd);
  SearchLog log;
  EXPECT_EQ(IPC_DvrSearchFil(task, cond, SearchLog::cb, &log), 0) << "0 in every case";
  // A record behind the end mark is read and handed on like any other.
  ASSERT_EQ(log.records.size(), stored.size() + 1);
  for (size_t i = 0; i < stored.size(); ++i)
    EXPECT_EQ(log.records[i], camemu::Media::fileRecord(stored[i]));
  EXPECT_EQ(log.records.back(), camemu::Media::fileRecord(stored[0]));
  EXPECT_EQ(log.ends, 1);
  EXPECT_EQ(log.endAt, stored.size());
  ASSERT_EQ(media.searchConditions().size(), 1u);
  EXPECT_TRUE(std::equal(cond.bytes, cond.bytes + sizeof cond.bytes,
                         media.searchConditions()[0].begin()));
  EXPECT_EQ(IPC_DvrFilClose(task), 1);
  EXPECT_EQ(IPC_DvrFilClose(task), 0);
}

TEST_F(DvrFiles, EmptySearchStillEndsAndRefusalDeliversNothing) {
  testsupport::ScopedTimeScale scale(0.2);
  IPC_HANDLE task = IPC_DvrFilOpen(openSession());
  media.setFiles({});
  SearchLog empty;
  EXPECT_EQ(IPC_DvrSearchFil(task, IpcFileSearchCond{}, SearchLog::cb, &empty), 0);
  EXPECT_TRUE(empty.records.empty());
  EXPECT_EQ(empty.ends, 1);
  media.injectFileFault(FileFault::Refuse);
  SearchLog refused;
  EXPECT_EQ(IPC_DvrSearchFil(task, IpcFileSearchCond{}, SearchLog::cb, &refused), 0);
  EXPECT_TRUE(refused.records.empty());
  EXPECT_EQ(refused.ends, 0);
  cam.setRefuse(0xFF0A, true);
  EXPECT_EQ(IPC_DvrSearchFil(task, IpcFileSearchCond{}, SearchLog::cb, &refused), 0);
  EXPECT_EQ(refused.ends, 0);
  EXPECT_EQ(IPC_DvrSearchFil(task, IpcFileSearchCond{}, nullptr, nullptr), 0);
}

TEST_F(DvrFiles, DownloadBytesEqualTheCamerasFile) {
  testsupport::ScopedTimeScale scale(0.2);
  IPC_HANDLE task = IPC_DvrFilOpen(openSession());
  for (FileFault fault : {FileFault::None, FileFault::PayloadOver532}) {
    for (const auto& f : stored) {
      SCOPED_TRACE(f.name);
      media.injectFileFault(fault);
      DownloadLog log;
      EXPECT_EQ(IPC_DvrDonloadFil(task, requestFor(f.name), DownloadLog::cb, &log), 0);
      ASSERT_GE(log.kinds.size(), 2u);
      EXPECT_EQ(log.kinds.front(), kIpcDownloadAccepted);
      EXPECT_EQ(log.kinds.back(), kIpcDownloadEnd);
      EXPECT_EQ(log.announced, f.bytes.size());
      EXPECT_EQ(log.bytes, f.bytes);
    }
  }
  DownloadLog missing;
  EXPECT_EQ(IPC_DvrDonloadFil(task, requestFor("nope"), DownloadLog::cb, &missing), 0);
  EXPECT_TRUE(missing.kinds.empty());
}

TEST_F(DvrFiles, PlaybackFramesFromManyPacketsDecodeFrameForFrame) {
  media.setPlaybackPacketData(300);
  HeadlessWindow w;
  IpcPlaybackRequest req = playFor(stored[0].name);
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, &req);
  ASSERT_NE(p, nullptr);
  std::memset(req.bytes, 0, sizeof req.bytes);  // the call took a copy
  auto pb = corvane::playbacks().find(reinterpret_cast<intptr_t>(p));
  ASSERT_TRUE(pb);
  const int frames = static_cast<int>(stored[0].frames.size());
  ASSERT_TRUE(cam.waitUntil([&] { return pb->player()->decodedFrames() >= frames; }));
  EXPECT_EQ(pb->player()->decodedFrames(), frames);
  ASSERT_TRUE(cam.waitUntil([&] { return w.presentedIndex() == frames - 1; }));
  // The camera's end of the file ends the stream, and the caller can tell.
  EXPECT_TRUE(cam.waitUntil([&] { return IPC_DvrPlayBackEnded(p) == 1; }));
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
  EXPECT_EQ(events.count(kIpcEvPlaybackEnded), 1);
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 0);
  EXPECT_EQ(IPC_DvrPlayBackEnded(p), -1);
}

TEST_F(DvrFiles, ARequestPostedAfterTheEndOfAFileGoesOutOnlyAfterTheTwoSecondSleep) {
  testsupport::ScopedTimeScale scale(2.0);
  HeadlessWindow w;
  IpcPlaybackRequest req = playFor(stored[0].name);
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, &req);
  ASSERT_TRUE(cam.waitUntil([&] { return IPC_DvrPlayBackEnded(p) == 1; }, 60000));
  const auto endSeen = std::chrono::steady_clock::now();
  ASSERT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackArguments().size() == 2; }, 60000));
  // The receive thread sleeps its 2 s (scaled) from the end on, and a request posted meanwhile
  // does not cut the sleep short: it goes out no earlier than that (half of it is checked,
  // which leaves this test's own delay in seeing the end a second to spare).
  EXPECT_GE(std::chrono::steady_clock::now() - endSeen, plat::scaledDuration(1000));
  EXPECT_EQ(media.playbackArguments(), (std::vector<uint16_t>{kIpcPlayOpen, kIpcPlayOpen}));
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
}

TEST_F(DvrFiles, SpeedCodesArriveAndPauseHoldsThePictures) {
  HeadlessWindow w;
  media.setFiles({});
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, nullptr);
  // Before any file is asked for, a speed code goes out with an empty request.
  EXPECT_EQ(IPC_DvrPlayBackSpeedCtrl(p, kIpcPlayPause), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackArguments().size() == 1; }));
  camemu::StoredFile longer = stored[1];
  for (int i = 0; i < 3; ++i)
    longer.frames.insert(longer.frames.end(), stored[1].frames.begin(), stored[1].frames.end());
  media.setFiles({longer});
  IpcPlaybackRequest req = playFor(longer.name);
  EXPECT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackFramesSent() >= 3; }));
  EXPECT_EQ(IPC_DvrPlayBackEnded(p), 0) << "it plays";
  for (uint16_t code : {kIpcPlayPause, kIpcPlayNormal, kIpcPlayFast1, uint16_t(kIpcPlaySlow1 + 3)})
    EXPECT_EQ(IPC_DvrPlayBackSpeedCtrl(p, code), 1);
  const std::vector<uint16_t> want = {kIpcPlayPause, kIpcPlayOpen, kIpcPlayPause, kIpcPlayNormal,
                                      kIpcPlayFast1, 0x50A9};
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackArguments().size() >= want.size(); }));
  EXPECT_EQ(media.playbackArguments(), want);
  // After the resume the whole file still plays to its end.
  auto pb = corvane::playbacks().find(reinterpret_cast<intptr_t>(p));
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackFramesSent() == longer.frames.size(); }));
  ASSERT_TRUE(cam.waitUntil(
      [&] { return pb->player()->decodedFrames() == static_cast<int>(longer.frames.size()); }));
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
}

TEST_F(DvrFiles, PlaybackAudioIsRoutedByItsTypeToTheAudioThread) {
  media.setPlaybackAudioEvery(2);
  HeadlessWindow w;
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, nullptr);
  ASSERT_EQ(IPC_DvrPlayBackStartAudio(p, 1), 1);
  EXPECT_EQ(IPC_DvrPlayBackStartAudio(p, 1), 1);
  IpcPlaybackRequest req = playFor(stored[0].name);
  ASSERT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  auto pb = corvane::playbacks().find(reinterpret_cast<intptr_t>(p));
  const int frames = static_cast<int>(stored[0].frames.size());
  ASSERT_TRUE(cam.waitUntil([&] { return pb->player()->decodedFrames() >= frames; }));
  // Audio packets never reach the decoder, so every decoded frame is one of the clip's.
  EXPECT_EQ(pb->player()->decodedFrames(), frames);
  EXPECT_GT(media.playbackAudioSent(), 0u);
  ASSERT_TRUE(cam.waitUntil([&] { return pb->audioPlayed() >= 1; }));
  EXPECT_EQ(IPC_DvrPlayBackStartAudio(p, 0), 1);
  IPC_DvrPlayBackClose(p);
}

TEST_F(DvrFiles, PacketsWithoutDataEndTheFrameAndTheNextRequestPlaysAgain) {
  media.injectFileFault(FileFault::DataLengthZero);
  HeadlessWindow w;
  IpcPlaybackRequest req = playFor(stored[0].name);
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, &req);
  auto pb = corvane::playbacks().find(reinterpret_cast<intptr_t>(p));
  ASSERT_TRUE(cam.waitUntil([&] { return media.playbackFramesSent() >= 1; }));
  ASSERT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  const int frames = static_cast<int>(stored[0].frames.size());
  ASSERT_TRUE(cam.waitUntil([&] { return w.presentedIndex() == frames - 1; }));
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
}

TEST_F(DvrFiles, UnopenedPlaybackChannelGivesEventSeventeen) {
  cam.setRefuse(0xFF08, true);
  HeadlessWindow w;
  IPC_HANDLE p = IPC_DvrPlayBackOpen(openSession(), w.handle, nullptr);
  ASSERT_TRUE(events.waitCount(kIpcEvPlaybackNotOpened, 1));
  IpcPlaybackRequest req = playFor(stored[0].name);
  EXPECT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  ASSERT_TRUE(events.waitCount(kIpcEvPlaybackNotSent, 1));
  EXPECT_EQ(IPC_DvrPlayBackEnded(p), 1) << "a request that cannot go out ends the playback";
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
  ASSERT_TRUE(events.waitCount(kIpcEvPlaybackEnded, 1));
  EXPECT_EQ(IPC_DvrPlayBackSpeedCtrl(p, kIpcPlayPause), 0);
}

}  // namespace
}  // namespace cvtest
