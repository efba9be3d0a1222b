// The test-facing side of the emulator: log queries, the store, alarm pushes, fault switches.
#include <algorithm>
#include <chrono>

#include "state.h"

namespace camemu {

std::vector<Request> Camera::requests() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->log;
}

size_t Camera::opens(uint16_t channel) const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<size_t>(std::count_if(state_->log.begin(), state_->log.end(),
                                           [&](const Request& r) { return r.open && r.code == channel; }));
}

size_t Camera::received(uint16_t code) const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<size_t>(std::count_if(state_->log.begin(), state_->log.end(),
                                           [&](const Request& r) { return !r.open && r.code == code; }));
}

int Camera::connections(uint16_t channel) const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return static_cast<int>(std::count_if(
      state_->connections.begin(), state_->connections.end(),
      [&](const auto& c) { return c->channel == channel && c->ready.load() && !c->done.load(); }));
}

size_t Camera::repliesSent() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->replies;
}

bool Camera::waitUntil(const std::function<bool()>& pred, int realMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  // Bounded by the deadline; re-checks at least every 10 ms (changes outside the lock).
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock<std::mutex> lk(state_->mutex);
    state_->changed.wait_for(lk, std::chrono::milliseconds(10));
  }
  return true;
}

std::vector<uint8_t> Camera::record(uint16_t getCode) const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  auto it = state_->records.find(getCode);
  return it == state_->records.end() ? std::vector<uint8_t>{} : it->second;
}

void Camera::setRecord(uint16_t getCode, const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->records[getCode] = bytes;
}

std::vector<uint16_t> Camera::recordCodes() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  std::vector<uint16_t> codes;
  for (const auto& r : state_->records) codes.push_back(r.first);
  return codes;
}

void Camera::onRecordStored(std::function<void(uint16_t, const std::vector<uint8_t>&)> hook) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->recordStored = std::move(hook);
}

int Camera::reboots() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->reboots;
}

namespace {
// Connections of a kind; `readyOnly` leaves out those whose open reply is still going out.
std::vector<std::shared_ptr<Connection>> ofKind(Camera::State& st, uint16_t channel,
                                                bool readyOnly) {
  std::vector<std::shared_ptr<Connection>> out;
  std::lock_guard<std::mutex> lk(st.mutex);
  for (auto& c : st.connections)
    if (c->channel == channel && (c->ready.load() || !readyOnly) && !c->done.load())
      out.push_back(c);
  return out;
}
}  // namespace

int Camera::pushAlarm(uint16_t code, uint16_t status, const std::vector<uint8_t>& payload) {
  const Bytes m = message(code, status, payload);
  int n = 0;
  for (auto& c : ofKind(*state_, kChanAlarm, true))
    if (c->write(m.data(), m.size())) ++n;
  return n;
}

int Camera::raiseCycledAlarm(int step) {
  std::vector<uint8_t> payload(kPayloadSize, 0);
  const uint32_t kind = static_cast<uint32_t>(((step % 3) + 3) % 3) + 1;
  const uint32_t number = kind == 3 ? 0 : 1;
  put32(payload.data(), kind);
  put32(payload.data() + 4, number);
  return pushAlarm(0x0309, 1, payload);
}

uint32_t Camera::firmwareAnnounced() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->firmwareAnnounced;
}

std::vector<uint8_t> Camera::firmwareReceived() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->firmware;
}

size_t Camera::firmwareUploads() const {
  std::lock_guard<std::mutex> lk(state_->mutex);
  return state_->firmwareUploads;
}

void Camera::setNoReply(bool on) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.noReply = on;
}

void Camera::delayNextReply(int productMs) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.delayNextMs = productMs;
}

void Camera::splitNextReply() {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.splitNext = true;
}

void Camera::splitOpenReplies(bool on) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.splitOpens = on;
}

void Camera::forceNextReply(int code, int status) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.forcedCode = code;
  state_->faults.forcedStatus = status;
  state_->faults.forcedPending = true;
}

void Camera::setIgnoreKeepAlive(bool on) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.ignoreKeepAlive = on;
}

void Camera::setRefuse(uint16_t channel, bool on) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.refuse[channel] = on;
}

void Camera::strayAfterNextReply(size_t n) {
  std::lock_guard<std::mutex> lk(state_->mutex);
  state_->faults.strayAfterNext = n;
}

int Camera::drop(uint16_t channel) {
  int n = 0;
  for (auto& c : ofKind(*state_, channel, false)) {
    std::lock_guard<std::mutex> wl(c->writeMutex);
    c->sock.shutdownBoth();
    ++n;
  }
  return n;
}

}  // namespace camemu
