#pragma once
// The program's process-wide services between tests: one place resets them all.
namespace harness {

// Releases every service the way the program's shut-down does and lets the next use make
// each afresh, as a new start of the program would (also what a test does to "restart").
void ResetServices();

// For a test program's main: every test starts with no service left by the one before, and
// a service asked for after its release fails the test that asked.
void WatchServices();
// The handler WatchServices sets.
void FailServiceMisuse(const char* type);

}  // namespace harness
