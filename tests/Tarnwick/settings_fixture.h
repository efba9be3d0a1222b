#pragma once
// A private program folder and drive map for each test: TARNWICK_HOME and TARNWICK_DRIVES
// point into a fresh temporary folder, and process-wide services start over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "harness/Services.h"
#include "plat/paths.h"
#include "shell/DiskHelpers.h"
#include "shell/LocalSettings.h"
#include "support/TestFolder.h"

class TempHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::NewTestFolder();
    home_ = root_ / "home";
    std::filesystem::create_directories(home_);
    for (const char* d : {"c", "d", "e"}) std::filesystem::create_directories(root_ / d);
    setenv("TARNWICK_HOME", home_.c_str(), 1);
    std::string drives = (root_ / "c").string() + ":" + (root_ / "d").string() + ":" +
                         (root_ / "e").string();
    setenv("TARNWICK_DRIVES", drives.c_str(), 1);
    plat::resetDriveMap();
    SetDiskProvider(nullptr);
  }
  void TearDown() override {
    harness::ResetServices();
    SetDiskProvider(nullptr);
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
  }
  static void WriteSettings(const std::string& text) {
    WriteFile(CLocalSettings::SettingsFilePath(), text);
  }

  std::filesystem::path root_;
  std::filesystem::path home_;
};
