// The receive functions of live video, live audio and playback fed hostile lengths over a
// local socket pair: whatever the wire announces, nothing is written past a pool buffer and
// what is kept is the bytes that really came.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "dvrfile/playback.h"
#include "plat/clock.h"
#include "stream/live_stream.h"
#include "stream/media_wire.h"
#include "video/frame_pool.h"

namespace {

using namespace corvane;

// A socket pair whose far end a writer thread fills, then closes.
class Wire {
 public:
  Wire() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
  ~Wire() {
    if (writer_.joinable()) writer_.join();
    ::close(fds_[0]);
    if (fds_[1] >= 0) ::close(fds_[1]);
  }
  void send(std::vector<uint8_t> bytes) {
    writer_ = std::thread([this, b = std::move(bytes)] {
      size_t off = 0;
      while (off < b.size()) {
        const ssize_t n = ::write(fds_[1], b.data() + off, b.size() - off);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
      }
      ::close(fds_[1]);
      fds_[1] = -1;
    });
  }
  int fd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
  std::thread writer_;
};

std::vector<uint8_t> packet(uint16_t status, uint32_t whole, uint16_t packetLength,
                            uint16_t type, uint8_t fill, size_t dataBytes) {
  std::vector<uint8_t> p(kIpcMediaPacketSize, 0);
  PacketHeader h;
  h.magic = kIpcMagic;
  h.status = status;
  h.length = whole;
  h.packetLength = packetLength;
  h.type = type;
  h.write(p.data());
  std::fill(p.begin() + kIpcMediaPacketHeaderSize,
            p.begin() + static_cast<long>(kIpcMediaPacketHeaderSize + dataBytes), fill);
  return p;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& p) {
  to.insert(to.end(), p.begin(), p.end());
}

class HostileWire : public ::testing::Test {
 protected:
  void SetUp() override { plat::setTimeScale(0.2); }
  void TearDown() override { plat::setTimeScale(1.0); }
  std::vector<uint8_t> frame = std::vector<uint8_t>(kFrameBufferSize, 0);
  std::vector<uint8_t> block = std::vector<uint8_t>(kAudioBufferSize, 0);
};

TEST_F(HostileWire, PlaybackFrameAnnouncedPastTheBufferKeepsWhatFitsAndLengthsAreCut) {
  // 400,000 bytes announced; every packet claims 0xFFFF bytes of its own, an audio block
  // claiming as much rides in between.
  const uint32_t whole = 400000;
  std::vector<uint8_t> bytes;
  size_t packets = 0;
  for (uint32_t counted = 0; counted < whole; counted += kIpcMediaPacketDataSize, ++packets) {
    append(bytes, packet(0, whole, 0xFFFF, 2, static_cast<uint8_t>(packets), 1024));
    if (packets == 3) append(bytes, packet(0, 0xFFFFFFFF, 0xFFFF, 10, 0xAA, 1024));
  }
  Wire w;
  w.send(std::move(bytes));
  std::vector<size_t> audio;
  const PlaybackRead r = readPlaybackUnit(
      w.fd(), frame.data(),
      [&](const uint8_t* p, size_t got) {
        writeAudioBlock(block.data(), PacketHeader::read(p),
                        p, packetDataBytes(PacketHeader::read(p).packetLength, got));
        audio.push_back(MediaBuffer::read(block.data()).length);
      },
      nullptr);
  ASSERT_EQ(r, PlaybackRead::Frame);
  const MediaBuffer mh = MediaBuffer::read(frame.data());
  EXPECT_EQ(mh.length, kFrameDataMax);
  EXPECT_EQ(audio, std::vector<size_t>{kIpcMediaPacketDataSize});
  // Each packet's data sits in order; the last kept one is packet 349.
  const uint8_t* data = frame.data() + kMediaHeaderSize;
  for (size_t i = 0; i < kFrameDataMax / kIpcMediaPacketDataSize; ++i)
    ASSERT_EQ(data[i * kIpcMediaPacketDataSize], static_cast<uint8_t>(i)) << i;
}

// What a playback frame is made of when its packets come short or carry end statuses.
TEST_F(HostileWire, PlaybackFramesTakeShortPacketsAndEndEarlyOnlyAtAFailedReadOrTheEndStatus) {
  const auto read = [&](std::vector<uint8_t> bytes) {
    Wire w;
    w.send(std::move(bytes));
    return readPlaybackUnit(w.fd(), frame.data(), [](const uint8_t*, size_t) {}, nullptr);
  };
  const auto length = [&] { return MediaBuffer::read(frame.data()).length; };
  const uint8_t* data = frame.data() + kMediaHeaderSize;
  {
    // A first packet that breaks off inside its data is taken with what came; the read
    // behind it fails, which ends the frame early, and the frame keeps those bytes.
    std::vector<uint8_t> p = packet(0, 5000, 1024, 2, 7, 1024);
    p.resize(kIpcMediaPacketHeaderSize + 10);
    EXPECT_EQ(read(p), PlaybackRead::FrameEndedEarly);
    EXPECT_EQ(length(), 10u);
    EXPECT_EQ(data[9], 7);
  }
  {
    // Inside a frame a packet cut short by the connection's end gives what came of its data
    // before the failed read behind it ends the frame.
    std::vector<uint8_t> bytes = packet(0, 2100, 1024, 2, 1, 1024);
    std::vector<uint8_t> cut = packet(0, 2100, 1024, 2, 2, 1024);
    cut.resize(kIpcMediaPacketHeaderSize + 52);
    append(bytes, cut);
    EXPECT_EQ(read(bytes), PlaybackRead::FrameEndedEarly);
    EXPECT_EQ(length(), 1076u);
    EXPECT_EQ(data[1023], 1);
    EXPECT_EQ(data[1075], 2);
  }
  {
    // A packet with the file's end status inside a frame gives its data like any other.
    std::vector<uint8_t> bytes = packet(0, 2100, 1024, 2, 1, 1024);
    append(bytes, packet(kStatusPlaybackEnd, 2100, 1024, 2, 3, 1024));
    append(bytes, packet(0, 2100, 52, 2, 4, 52));
    EXPECT_EQ(read(bytes), PlaybackRead::Frame);
    EXPECT_EQ(length(), 2100u);
    EXPECT_EQ(data[1024], 3);
    EXPECT_EQ(data[2099], 4);
  }
  {
    // The end status inside a frame ends it early, also on a whole packet, whose data is
    // not taken; the frame keeps what came before.
    std::vector<uint8_t> bytes = packet(0, 3000, 1024, 2, 1, 1024);
    append(bytes, packet(kStatusEnd, 3000, 1024, 2, 9, 1024));
    append(bytes, packet(0, 3000, 1024, 2, 5, 1024));
    EXPECT_EQ(read(bytes), PlaybackRead::FrameEndedEarly);
    EXPECT_EQ(length(), 1024u);
  }
  {
    // A packet is told by its status, not by its magic.
    std::vector<uint8_t> p = packet(0, 52, 52, 2, 6, 52);
    p[0] = p[1] = 0;
    EXPECT_EQ(read(p), PlaybackRead::Frame);
    EXPECT_EQ(length(), 52u);
  }
  // A frame's first packet with either end status ends the stream with no frame.
  for (uint16_t status : {kStatusEnd, kStatusPlaybackEnd})
    EXPECT_EQ(read(packet(status, 3000, 1024, 2, 1, 1024)), PlaybackRead::End);
}

TEST_F(HostileWire, LiveAudioLengthsAreCutToTheBlockAndToWhatArrived) {
  {
    Wire w;
    w.send(packet(0, 0xFFFFFFFF, 0, 10, 3, 1024));
    ASSERT_TRUE(readAudioPacket(w.fd(), block.data(), nullptr));
    EXPECT_EQ(MediaBuffer::read(block.data()).length, kAudioDataMax);
  }
  {
    std::vector<uint8_t> p = packet(0, 1024, 0, 10, 3, 1024);
    p.resize(kIpcMediaPacketHeaderSize + 10);
    Wire w;
    w.send(p);
    ASSERT_TRUE(readAudioPacket(w.fd(), block.data(), nullptr));
    EXPECT_EQ(MediaBuffer::read(block.data()).length, 10u);
  }
}

std::vector<uint8_t> videoFrame(uint32_t length, uint8_t fill) {
  std::vector<uint8_t> bytes(kIpcFrameHeaderSize + length, fill);
  FrameHeader h;
  h.magic = kIpcMagic;
  h.length = h.length2 = length;
  h.write(bytes.data());
  return bytes;
}

TEST_F(HostileWire, LiveVideoFramesThatDoNotFitAreDroppedWholeAndHugeLengthsEndTheConnection) {
  {
    // Into a buffer of 358,400 bytes of data: a frame of 400,000 is read and dropped whole,
    // and the frame behind it is read in step.
    std::vector<uint8_t> bytes = videoFrame(400000, 1);
    append(bytes, videoFrame(100, 2));
    Wire w;
    w.send(std::move(bytes));
    EXPECT_EQ(readFrame(w.fd(), frame.data(), nullptr), FrameRead::Dropped);
    ASSERT_EQ(readFrame(w.fd(), frame.data(), nullptr), FrameRead::Frame);
    EXPECT_EQ(MediaBuffer::read(frame.data()).length, 100u);
    EXPECT_EQ(frame[kMediaHeaderSize + 99], 2);
  }
  {
    // A frame too large that breaks off while it is dropped is a frame cut short.
    std::vector<uint8_t> bytes = videoFrame(400000, 1);
    bytes.resize(200000);
    Wire w;
    w.send(std::move(bytes));
    EXPECT_EQ(readFrame(w.fd(), frame.data(), nullptr), FrameRead::Cut);
  }
  // A length no frame comes near is not read at all.
  uint8_t header[kIpcFrameHeaderSize];
  FrameHeader h;
  h.magic = kIpcMagic;
  h.length = h.length2 = 0xFFFFFFFF;
  h.write(header);
  Wire w;
  w.send(std::vector<uint8_t>(header, header + sizeof header));
  EXPECT_EQ(readFrame(w.fd(), frame.data(), nullptr), FrameRead::Lost);
}

}  // namespace
