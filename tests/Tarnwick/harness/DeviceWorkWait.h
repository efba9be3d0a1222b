#pragma once
// Waiting for the device queues: device work runs on workers and its results come back as
// queued calls, so a test runs the event loop until every request has been answered.
namespace harness {

// Runs the event loop until no device work is queued, running or on its way back; false when
// `realMs` of real time passed first.
bool SettleDeviceWork(int realMs = 30000);

}  // namespace harness
