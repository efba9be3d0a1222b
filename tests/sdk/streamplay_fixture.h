#pragma once
// What the player's tests share: product time at a tenth, no sound device, and recorder
// stream files of generated pictures in the test's folder.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "dvremu/stream.h"
#include "plat/audio.h"
#include "support/TestFolder.h"
#include "support/TimeScale.h"

namespace streamplay_test {

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::setAudioBackend(plat::AudioBackendKind::Null); }

  // A stream file of `frames` pictures at 25 a second (MPEG-4 or H.264, with sound or not).
  static std::string WriteStreamFile(const char* name, bool mpeg4, int width, int height, int frames, bool audio) {
    dvremu::StreamClip clip;
    std::string error;
    EXPECT_TRUE(dvremu::generatedClip(mpeg4, width, height, frames, 25, audio, &clip, &error)) << error;
    const auto bytes = dvremu::streamFile(clip);
    const std::string path = testsupport::TestFile(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  testsupport::ScopedTimeScale scale_{0.1};
};

}  // namespace streamplay_test
