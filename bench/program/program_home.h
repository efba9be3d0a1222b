#pragma once
// What the program benchmarks set up before they start the program: its folder, its devices,
// the last session's previews, its environment, and the reading of its "bench: " lines.
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench_common.h"

class CDevMgrModel;

namespace benchprog {

// A program folder: the user database with the administrator logging in by himself, and
// the regions and devices `fill` adds to the device list, saved as the device page saves them.
void seedHome(const std::filesystem::path& home,
              const std::function<void(CDevMgrModel&, const std::u16string& rootRegion)>& fill);

bool addDevice(CDevMgrModel& model, const std::u16string& name, const std::u16string& host, int port,
               int channels, int type, const std::u16string& guid, const std::u16string& region);

// The last session as the preview page leaves it: channels[i] (device GUID, channel) in
// window i. Written with no device list loaded, so nothing is fetched or logged in meanwhile.
void seedSavedPreviews(const std::vector<std::pair<std::u16string, int>>& channels);

// The program's environment: its folder, its own place for the instance lock, no sound
// device, and an offscreen screen of 1920 x 1080 (the main window fills the screen, so the
// play windows get the size they would have on a usual monitor).
std::vector<std::string> programEnv(const std::filesystem::path& home, const std::filesystem::path& runtime);

// Reads lines until one starts with "bench: <word>"; the rest of that line.
bool expect(bench::Child& child, const std::string& word, std::string* rest, int timeoutMs);

// One row of the results table.
void row(const std::string& measure, const std::string& value, const std::string& meaning);
std::string fmt(const char* f, double a, double b = 0, double c = 0);

}  // namespace benchprog
