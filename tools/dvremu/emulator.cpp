#include "dvremu/emulator.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "lanprobe/responder.h"
#include "plat/clock.h"
#include "plat/socket.h"

namespace dvremu {

namespace {
constexpr int kAcceptMs = 100;
constexpr int kReadMs = 100;
constexpr int kSendMs = 5000;
constexpr int kMaxConnections = 64;
}  // namespace

struct Connection {
  int id = 0;
  plat::Socket sock;
  plat::WakeFd wake;
  std::mutex sendMu;
  std::atomic<bool> closing{false};
  std::atomic<bool> ended{false};  // the reader has finished: the connection is over
  std::thread reader;
  std::map<uint32_t, std::shared_ptr<std::atomic<bool>>> streams;  // handle -> running
  std::vector<std::thread> streamThreads;

  bool send(const std::vector<uint8_t>& bytes, bool split = false) {
    std::lock_guard<std::mutex> lock(sendMu);
    if (!split) return plat::sendAll(sock.fd(), bytes.data(), bytes.size(), kSendMs);
    for (uint8_t b : bytes)
      if (!plat::sendAll(sock.fd(), &b, 1, kSendMs)) return false;
    return true;
  }
};

struct Emulator::Impl {
  Options opt;
  plat::Socket listener;
  uint16_t port = 0;
  plat::WakeFd wake;
  std::atomic<bool> running{false};
  std::thread acceptor;

  mutable std::mutex mu;
  mutable std::condition_variable cv;
  std::vector<std::shared_ptr<Connection>> conns;
  std::vector<Request> log;
  StreamClip clip;
  std::set<uint32_t> refused, silenced, held;
  std::vector<std::function<void()>> heldReplies;
  std::map<uint32_t, std::array<uint32_t, 4>> videoParams;  // channel -> b, c, s, h
  // The alarm handles each connection armed and has not disarmed: a recorder pushes its
  // alarms to every client that asked for them, whatever other connections came later.
  std::map<int, std::set<uint32_t>> armed;
  lanprobe::Responder discovery;
  std::map<uint32_t, uint64_t> livePackets;  // handle -> packets sent
  Services services;
  int live = 0;
  int nextId = 1;

  void acceptLoop();
  void readLoop(std::shared_ptr<Connection> c);
  void handle(const std::shared_ptr<Connection>& c, const Header& h, std::vector<uint8_t> payload);
  void reply(const std::shared_ptr<Connection>& c, uint32_t command, uint32_t handle,
             uint32_t status, const std::vector<uint8_t>& payload);
  void startLive(const std::shared_ptr<Connection>& c, uint32_t handle);
  void liveLoop(std::shared_ptr<Connection> c, uint32_t handle,
                std::shared_ptr<std::atomic<bool>> run);
  void stopLive(const std::shared_ptr<Connection>& c, uint32_t handle);
  std::shared_ptr<Connection> latest() const {
    std::lock_guard<std::mutex> lock(mu);
    return conns.empty() ? nullptr : conns.back();
  }
  // The live connections that armed an alarm handle, with the handles.
  std::vector<std::pair<std::shared_ptr<Connection>, uint32_t>> armedHandles() const {
    std::lock_guard<std::mutex> lock(mu);
    std::vector<std::pair<std::shared_ptr<Connection>, uint32_t>> out;
    for (const auto& c : conns) {
      auto it = armed.find(c->id);
      if (c->ended || it == armed.end()) continue;
      for (uint32_t h : it->second) out.emplace_back(c, h);
    }
    return out;
  }
  void closeAll();
  // Joins the threads of finished connections and forgets them. Their sockets close when
  // the last reference goes (a held reply may still name one), so a number is never reused
  // under a pending send.
  void reapEnded();
  // Ends and joins a connection's reader and stream threads.
  void joinThreads(Connection& c);
};

Emulator::Emulator(Options options) : impl_(std::make_unique<Impl>()) {
  impl_->opt = std::move(options);
  impl_->opt.chunk = std::clamp<size_t>(impl_->opt.chunk, 1, kMaxPayload);
}

Emulator::~Emulator() { stop(); }

bool Emulator::start(uint16_t port) {
  if (impl_->running) return true;
  impl_->listener = plat::listenLoopback(port, &impl_->port);
  if (!impl_->listener.valid()) return false;
  impl_->running = true;
  impl_->acceptor = std::thread([this] { impl_->acceptLoop(); });
  return true;
}

uint16_t Emulator::port() const { return impl_->port; }

namespace {
lanprobe::Identity RecorderIdentity(uint16_t port, const Options& o, const std::string& name) {
  lanprobe::Identity id;
  id.port = port;
  id.name = name.empty() ? "DVR-EMU-" + std::to_string(port) : name;
  id.channels = o.info[4];
  id.deviceType = 1;
  id.mac = lanprobe::MacFor(0x10000u + port);
  return id;
}
}  // namespace

bool Emulator::startDiscovery(uint16_t udpPort, const std::string& name) {
  return impl_->discovery.start(RecorderIdentity(impl_->port, impl_->opt, name), udpPort);
}

bool Emulator::startDiscoveryOnSearchPort(const std::string& name) {
  return impl_->discovery.startOnSearchPort(RecorderIdentity(impl_->port, impl_->opt, name));
}

uint16_t Emulator::discoveryPort() const { return impl_->discovery.port(); }
size_t Emulator::discoveryProbes() const { return impl_->discovery.probes(); }

void Emulator::stop() {
  impl_->discovery.stop();
  if (!impl_->running.exchange(false)) return;
  impl_->wake.signal();
  if (impl_->acceptor.joinable()) impl_->acceptor.join();
  impl_->closeAll();
  impl_->listener.close();
}

void Emulator::Impl::acceptLoop() {
  while (running) {
    plat::Socket s = plat::acceptTimeout(listener, kAcceptMs, &wake);
    if (!s.valid()) continue;
    reapEnded();
    auto c = std::make_shared<Connection>();
    c->sock = std::move(s);
    std::lock_guard<std::mutex> lock(mu);
    if (static_cast<int>(conns.size()) >= kMaxConnections) continue;  // closes it
    c->id = nextId++;
    conns.push_back(c);
    c->reader = std::thread([this, c] { readLoop(c); });
    cv.notify_all();
  }
}

void Emulator::Impl::readLoop(std::shared_ptr<Connection> c) {
  uint8_t head[kHeaderBytes];
  while (!c->closing) {
    const plat::WaitResult w = plat::waitReadable(c->sock.fd(), kReadMs, &c->wake);
    if (w == plat::WaitResult::Timeout) continue;
    if (w != plat::WaitResult::Ready) break;
    if (plat::recvAll(c->sock.fd(), head, kHeaderBytes, kSendMs, &c->wake) != kHeaderBytes) break;
    const Header h = readHeader(head);
    if (h.magic != kMagic || h.length > kMaxPayload) break;  // the emulator gives up too
    std::vector<uint8_t> payload(h.length);
    if (h.length && plat::recvAll(c->sock.fd(), payload.data(), h.length, kSendMs, &c->wake) !=
                        h.length)
      break;
    handle(c, h, std::move(payload));
  }
  c->closing = true;
  // The peer learns at once that the recorder gave up (a bad header, a broken read).
  c->sock.shutdownBoth();
  std::lock_guard<std::mutex> lock(mu);
  for (auto& [handle, run] : c->streams) *run = false;
  armed.erase(c->id);
  c->ended = true;
  cv.notify_all();
}

void Emulator::Impl::reapEnded() {
  std::vector<std::shared_ptr<Connection>> ended;
  {
    std::lock_guard<std::mutex> lock(mu);
    for (auto it = conns.begin(); it != conns.end();) {
      if ((*it)->ended) {
        ended.push_back(*it);
        it = conns.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : ended) joinThreads(*c);
}

void Emulator::Impl::joinThreads(Connection& c) {
  c.wake.signal();
  if (c.reader.joinable()) c.reader.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mu);
    threads.swap(c.streamThreads);
  }
  for (auto& t : threads) t.join();
}

void Emulator::Impl::reply(const std::shared_ptr<Connection>& c, uint32_t command,
                           uint32_t handle, uint32_t status, const std::vector<uint8_t>& payload) {
  auto bytes = packet(command, handle, status, payload.data(), payload.size());
  {
    std::lock_guard<std::mutex> lock(mu);
    if (silenced.count(command)) return;
    if (held.count(command)) {
      heldReplies.emplace_back([c, bytes] { c->send(bytes); });
      return;
    }
  }
  c->send(bytes);
}

void Emulator::Impl::handle(const std::shared_ptr<Connection>& c, const Header& h,
                            std::vector<uint8_t> payload) {
  bool refuse;
  {
    std::lock_guard<std::mutex> lock(mu);
    log.push_back(Request{c->id, h.command, h.handle, h.status, payload});
    refuse = refused.count(h.command) > 0;
    if (h.command == kSetAlarm && !refuse) armed[c->id].insert(h.handle);
    if (h.command == kStopAlarm) armed[c->id].erase(h.handle);
    cv.notify_all();
  }
  const uint32_t status = refuse ? kFail : kOk;
  if (!requestLengthOk(h.command, payload.size())) {
    // A request of the wrong size is refused, however the rest of it reads.
    if (h.command != kTalkStream) reply(c, h.command, h.handle, kFail, {});
    return;
  }
  switch (h.command) {
    case kLogin: {
      bool ok = !refuse && payload.size() >= 64;
      if (ok) {
        auto field = [&](size_t at) {
          const char* p = reinterpret_cast<const char*>(payload.data() + at);
          return std::string(p, strnlen(p, 32));
        };
        ok = field(0) == opt.user && field(32) == opt.password;
      }
      std::vector<uint8_t> r(kLoginReplyBytes, 0);
      if (ok) {
        std::memcpy(r.data(), opt.serial.data(), std::min<size_t>(opt.serial.size(), 48));
        std::copy(opt.info.begin(), opt.info.end(), r.begin() + 48);
      }
      reply(c, kLogin, h.handle, ok ? kOk : kFail, r);
      return;
    }
    case kPreview:
      // Channel index 0..15 and the sub-stream bit alone, as the live-view record carries them.
      if (refuse || get32(payload.data()) > 15 || get32(payload.data() + 8) > 1) {
        reply(c, kPreview, h.handle, kFail, {});
        return;
      }
      startLive(c, h.handle);
      return;
    case kPreviewStop:
      stopLive(c, h.handle);
      reply(c, kPreviewStop, h.handle, status, {});
      return;
    case kTalkStream:
      return;  // logged; nothing to answer
    case kSetVideoParam:
      if (payload.size() >= 20 && !refuse) {
        std::lock_guard<std::mutex> lock(mu);
        videoParams[get32(payload.data())] = {get32(&payload[4]), get32(&payload[8]),
                                              get32(&payload[12]), get32(&payload[16])};
      }
      reply(c, kSetVideoParam, h.handle, status, {});
      return;
    case kGetVideoParam: {
      std::vector<uint8_t> r(20, 0);
      const uint32_t ch = payload.size() >= 4 ? get32(payload.data()) : 0;
      std::array<uint32_t, 4> v{32, 32, 32, 32};
      {
        std::lock_guard<std::mutex> lock(mu);
        if (videoParams.count(ch)) v = videoParams[ch];
      }
      put32(r.data(), ch);
      for (int i = 0; i < 4; ++i) put32(r.data() + 4 + 4 * i, v[static_cast<size_t>(i)]);
      reply(c, kGetVideoParam, h.handle, status, refuse ? std::vector<uint8_t>{} : r);
      return;
    }
    default: {
      std::vector<Outgoing> out;
      if (services.handle(c->id, h.command, h.handle, payload, refuse, out)) {
        for (const Outgoing& o : out) reply(c, o.command, h.handle, o.status, o.payload);
        return;
      }
      if (h.command >= 1 && h.command <= kLastCode && h.command != kAlarm)
        reply(c, h.command, h.handle, status, {});
      return;
    }
  }
}

void Emulator::Impl::startLive(const std::shared_ptr<Connection>& c, uint32_t handle) {
  {
    // A held preview reply holds back the whole stream with it.
    std::lock_guard<std::mutex> lock(mu);
    if (held.count(kPreview)) {
      heldReplies.emplace_back([this, c, handle] { startLive(c, handle); });
      return;
    }
  }
  auto run = std::make_shared<std::atomic<bool>>(true);
  StreamClip copy;
  {
    std::lock_guard<std::mutex> lock(mu);
    if (c->streams.count(handle) && *c->streams[handle]) return;  // already running
    c->streams[handle] = run;
    copy = clip;
  }
  // The stream header first, so the client has it before any data; then the reply.
  c->send(packet(kStreamHeader, handle, kOk, streamHeader(copy).data(), kStreamHeaderBytes));
  reply(c, kPreview, handle, kOk, {});
  std::lock_guard<std::mutex> lock(mu);
  if (c->ended) return;  // a held reply released after the connection ended: no stream
  ++live;
  c->streamThreads.emplace_back([this, c, handle, run] { liveLoop(c, handle, run); });
}

void Emulator::Impl::liveLoop(std::shared_ptr<Connection> c, uint32_t handle,
                              std::shared_ptr<std::atomic<bool>> run) {
  StreamClip copy;
  {
    std::lock_guard<std::mutex> lock(mu);
    copy = clip;
  }
  const int frameMs = 1000 / std::max<int>(1, copy.fps);
  std::vector<uint8_t> pending;
  auto flush = [&](bool all) {
    size_t at = 0;
    while (*run && (pending.size() - at >= opt.chunk || (all && at < pending.size()))) {
      const size_t n = std::min(opt.chunk, pending.size() - at);
      if (!c->send(packet(kPreview, handle, kOk, pending.data() + at, n))) {
        *run = false;
        break;
      }
      at += n;
      std::lock_guard<std::mutex> lock(mu);
      ++livePackets[handle];
      cv.notify_all();
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
  };
  for (int loop = 0; *run && loop < opt.maxClipLoops && !copy.frames.empty(); ++loop) {
    for (size_t i = 0; *run && i < copy.frames.size(); ++i) {
      StreamFrame f = copy.frames[i];
      f.timestamp += static_cast<uint32_t>(loop) * static_cast<uint32_t>(copy.frames.size()) *
                     static_cast<uint32_t>(frameMs);
      const auto bytes = frameBytes(f);
      pending.insert(pending.end(), bytes.begin(), bytes.end());
      if (f.video) {
        flush(true);
        if (opt.pace) plat::waitReadable(c->wake.fd(), frameMs);
      }
    }
  }
  flush(true);
  std::lock_guard<std::mutex> lock(mu);
  --live;
  cv.notify_all();
}

void Emulator::Impl::stopLive(const std::shared_ptr<Connection>& c, uint32_t handle) {
  std::lock_guard<std::mutex> lock(mu);
  auto it = c->streams.find(handle);
  if (it != c->streams.end()) *it->second = false;
}

void Emulator::Impl::closeAll() {
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard<std::mutex> lock(mu);
    all = conns;
    for (auto& c : all)
      for (auto& [handle, run] : c->streams) *run = false;
  }
  for (auto& c : all) {
    c->closing = true;
    c->wake.signal();
    c->sock.shutdownBoth();
  }
  for (auto& c : all) {
    joinThreads(*c);
    c->sock.close();
  }
}

void Emulator::setClip(const StreamClip& clip) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->clip = clip;
  impl_->services.setStreamHeader(streamHeader(clip));
}

Services& Emulator::services() { return impl_->services; }

std::vector<Request> Emulator::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->log;
}

std::vector<Request> Emulator::requests(uint32_t command) const {
  std::vector<Request> out;
  for (auto& r : requests())
    if (r.command == command) out.push_back(r);
  return out;
}

bool Emulator::waitForRequests(uint32_t command, size_t count, int productMs) const {
  std::unique_lock<std::mutex> lock(impl_->mu);
  return impl_->cv.wait_for(lock, plat::scaledDuration(productMs), [&] {
    return static_cast<size_t>(std::count_if(impl_->log.begin(), impl_->log.end(),
                                             [&](const Request& r) { return r.command == command; })) >=
           count;
  });
}

int Emulator::connections() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return static_cast<int>(std::count_if(impl_->conns.begin(), impl_->conns.end(),
                                        [](const auto& c) { return !c->ended; }));
}

int Emulator::liveStreams() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->live;
}

bool Emulator::waitForLivePackets(uint32_t handle, uint64_t count, int productMs) const {
  std::unique_lock<std::mutex> lock(impl_->mu);
  return impl_->cv.wait_for(lock, plat::scaledDuration(productMs),
                            [&] { return impl_->livePackets[handle] >= count; });
}

void Emulator::refuse(uint32_t command, bool on) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (on) impl_->refused.insert(command); else impl_->refused.erase(command);
}

void Emulator::silence(uint32_t command, bool on) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (on) impl_->silenced.insert(command); else impl_->silenced.erase(command);
}

void Emulator::hold(uint32_t command, bool on) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (on) impl_->held.insert(command); else impl_->held.erase(command);
}

void Emulator::releaseHeld() {
  decltype(impl_->heldReplies) replies;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    replies.swap(impl_->heldReplies);
  }
  for (auto& send : replies) send();
}

bool Emulator::pushAlarm(uint32_t handle, const std::array<uint8_t, kAlarmRecordBytes>& record) {
  std::shared_ptr<Connection> c;
  for (const auto& [conn, h] : impl_->armedHandles())
    if (h == handle) c = conn;
  if (!c) c = impl_->latest();
  return c && c->send(packet(kAlarm, handle, kOk, record.data(), record.size()));
}

std::array<uint8_t, 16> cycledAlarmBits(int step) {
  // Bits of a channel entry: 0 signal, 1 motion, 2 video loss, 3 mask, 6 disk.
  std::array<uint8_t, 16> bits{};
  switch (((step % 5) + 5) % 5) {
    case 0: bits[0] = bits[2] = 1u << 1; break;  // motion on channels 1 and 3
    case 1: bits[1] = 1u << 2; break;            // video loss on channel 2
    case 2: bits[0] = 1u << 6; break;            // the first disk
    case 3: bits[0] = 1u << 0; break;            // signal on channel 1
    default: bits[3] = 1u << 3; break;           // mask on channel 4
  }
  return bits;
}

bool Emulator::raiseCycledAlarm(int step) {
  const auto record = alarmRecord(impl_->opt.serial, "DVR-EMU", "127.0.0.1", cycledAlarmBits(step));
  bool sent = false;
  for (const auto& [c, handle] : impl_->armedHandles())
    sent = c->send(packet(kAlarm, handle, kOk, record.data(), record.size())) || sent;
  return sent;
}

bool Emulator::sendTalk(uint32_t handle, uint32_t value1, uint32_t value2, uint32_t counter,
                        const std::vector<uint8_t>& audio) {
  std::vector<uint8_t> p(12 + audio.size());
  put32(p.data(), value1);
  put32(p.data() + 4, value2);
  put32(p.data() + 8, counter);
  std::copy(audio.begin(), audio.end(), p.begin() + 12);
  return sendPacket(kTalkStream, handle, kOk, p);
}

bool Emulator::sendPacket(uint32_t command, uint32_t handle, uint32_t status,
                          const std::vector<uint8_t>& payload) {
  auto c = impl_->latest();
  return c && c->send(packet(command, handle, status, payload.data(), payload.size()));
}

bool Emulator::sendRaw(const std::vector<uint8_t>& bytes) {
  auto c = impl_->latest();
  return c && c->send(bytes);
}

bool Emulator::sendSplit(const std::vector<uint8_t>& bytes) {
  auto c = impl_->latest();
  return c && c->send(bytes, true);
}

void Emulator::closeConnections() {
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    all = impl_->conns;
  }
  for (auto& c : all) c->sock.shutdownBoth();
}

std::array<uint8_t, kAlarmRecordBytes> alarmRecord(const std::string& serial,
                                                   const std::string& name,
                                                   const std::string& ip,
                                                   const std::array<uint8_t, 16>& bits) {
  std::array<uint8_t, kAlarmRecordBytes> r{};
  put32(r.data() + 8, 0x30000);
  std::memcpy(r.data() + 12, serial.data(), std::min<size_t>(serial.size(), 48));
  std::memcpy(r.data() + 60, name.data(), std::min<size_t>(name.size(), 32));
  const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::memcpy(r.data() + 92, mac, 6);
  put16(r.data() + 98, 8000);
  std::memcpy(r.data() + 100, ip.data(), std::min<size_t>(ip.size(), 15));
  for (size_t i = 0; i < 16; ++i) r[116 + i * 8] = bits[i];
  return r;
}

}  // namespace dvremu
