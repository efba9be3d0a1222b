#pragma once
// The program's UI thread while devices hang (see hung_devices.cpp).
#include <filesystem>

// Runs the case in `dir` and prints its rows; false when it could not be measured.
bool RunHungDevicesCase(const std::filesystem::path& dir);
