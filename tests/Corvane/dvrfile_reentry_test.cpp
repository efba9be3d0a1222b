// A file task carries one transfer at a time: a second search or download started while the
// first still reads (here from its own callback) must not take the first one's connection.
#include <cstring>

#include "stream_fixture.h"
#include "support/TimeScale.h"

namespace cvtest {
namespace {

struct Reentry {
  IPC_HANDLE task = nullptr;
  int records = 0;
  int ends = 0;
  int innerResult = -1;
  int innerCalls = 0;
  static void inner(int, const void*, const void*, int, void* user) {
    ++static_cast<Reentry*>(user)->innerCalls;
  }
  static void outer(int kind, const void*, void* user) {
    auto* self = static_cast<Reentry*>(user);
    if (kind != kIpcSearchRecord) {
      ++self->ends;
      return;
    }
    if (self->records++ == 0)
      self->innerResult = IPC_DvrDonloadFil(self->task, IpcDownloadRequest{}, inner, self);
  }
};

class DvrFileReentry : public MediaTest {};

TEST_F(DvrFileReentry, ASecondTransferWhileOneRunsIsRefusedAndTheFirstCompletes) {
  std::vector<camemu::StoredFile> files(4);
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].name = "f" + std::to_string(i) + ".h264";
    files[i].bytes.assign(100, static_cast<uint8_t>(i));
  }
  media.setFiles(files);
  Reentry r;
  r.task = IPC_DvrFilOpen(openSession());
  ASSERT_NE(r.task, nullptr);
  testsupport::ScopedTimeScale scale(0.2);  // each transfer ends by its 5 s wait
  EXPECT_EQ(IPC_DvrSearchFil(r.task, IpcFileSearchCond{}, Reentry::outer, &r), 0);
  EXPECT_EQ(r.innerResult, 0);
  EXPECT_EQ(r.innerCalls, 0);
  EXPECT_EQ(r.records, static_cast<int>(files.size()));
  EXPECT_EQ(r.ends, 1);
  // Once the first transfer is over, the task takes the next one.
  IpcDownloadRequest req{};
  std::memcpy(req.bytes + 4, files[0].name.data(), files[0].name.size());
  Reentry after;
  EXPECT_EQ(IPC_DvrDonloadFil(r.task, req, Reentry::inner, &after), 0);
  EXPECT_GE(after.innerCalls, 3);  // accepted, data, end
  EXPECT_EQ(IPC_DvrFilClose(r.task), 1);
}

}  // namespace
}  // namespace cvtest
