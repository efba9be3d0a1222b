#pragma once
// What the live page gives its model, without widgets: trees of rows as the device manager's
// builder fills them (node data, channel numbers, images, the selection), the alarm list's
// rows, and a play screen of 25 windows with real window handles that record what they are
// told to show and answer the picture watch as a test scripts it.
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/DeviceTreeNodes.h"
#include "plat/window.h"
#include "view/LiveScreen.h"
#include "view/LiveTree.h"

namespace modeltest {

class FakeTree : public ILiveTree {
 public:
  // A row under `parent` (0: a root) carrying `data` (a DeviceTreeNode or GroupTreeNode) or,
  // for a channel row, no data and its number.
  Row Add(Row parent, std::u16string text, void* data = nullptr, int channel = 0) {
    rows_.push_back(Node{parent, {}, std::move(text), data, channel, -1});
    const Row row = static_cast<Row>(rows_.size());
    (parent ? At(parent).children : roots_).push_back(row);
    return row;
  }
  int Image(Row row) const { return row ? At(row).image : -1; }
  void SetText(Row row, std::u16string text) { At(row).text = std::move(text); }

  int RootCount() const override { return static_cast<int>(roots_.size()); }
  Row Root(int i) const override { return roots_.at(static_cast<size_t>(i)); }
  int ChildCount(Row row) const override { return row ? static_cast<int>(At(row).children.size()) : 0; }
  Row Child(Row row, int i) const override { return At(row).children.at(static_cast<size_t>(i)); }
  Row Parent(Row row) const override { return row ? At(row).parent : 0; }
  std::u16string Text(Row row) const override { return row ? At(row).text : std::u16string(); }
  DeviceTreeNode* DeviceNode(Row row) const override {
    return row ? static_cast<DeviceTreeNode*>(At(row).data) : nullptr;
  }
  GroupTreeNode* GroupNode(Row row) const override { return row ? static_cast<GroupTreeNode*>(At(row).data) : nullptr; }
  int ChannelNumber(Row row) const override { return row && !At(row).data ? At(row).channel : 0; }
  void SetImage(Row row, int image) override { At(row).image = image; }
  Row Current() const override { return current_; }
  void SetCurrent(Row row) override { current_ = row; }

 private:
  struct Node {
    Row parent;
    std::vector<Row> children;
    std::u16string text;
    void* data;
    int channel;
    int image;
  };
  Node& At(Row row) { return rows_.at(static_cast<size_t>(row - 1)); }
  const Node& At(Row row) const { return rows_.at(static_cast<size_t>(row - 1)); }

  std::vector<Node> rows_;
  std::vector<Row> roots_;
  Row current_ = 0;
};

// Newest first, as the list shows them: {time, event}.
class FakeAlarmRows : public IAlarmRows {
 public:
  std::vector<std::pair<std::u16string, std::u16string>> rows;
  int Count() const override { return static_cast<int>(rows.size()); }
  void Clear() override { rows.clear(); }
  void InsertTop(const std::u16string& time, const std::u16string& text) override {
    rows.insert(rows.begin(), {time, text});
  }
};

class FakeWindow : public ILiveWindow {
 public:
  FakeWindow()
      : handle_(plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; },
                                     std::make_shared<plat::QueueDispatcher>())) {}
  ~FakeWindow() override { plat::unregisterWindow(handle_); }
  FakeWindow(const FakeWindow&) = delete;
  FakeWindow& operator=(const FakeWindow&) = delete;

  // What the next look at the pictures finds.
  Watch nextWatch = Watch::kSame;
  // Whom the window reports to, as the page set it.
  PlayWndCallback callback = nullptr;
  void* page = nullptr;

  plat::WindowHandle GetSafeHwnd() const override { return handle_; }
  void SetCallback(PlayWndCallback cb, CDevice*, int, void* p) override {
    callback = cb;
    page = p;
  }
  void Show(State state) override { state_ = state; }
  State GetState() const override { return state_; }
  Watch WatchPictures(int64_t) override { return std::exchange(nextWatch, Watch::kSame); }

 private:
  plat::WindowHandle handle_;
  State state_ = State::kIdle;
};

class FakeScreen : public ILiveScreen {
 public:
  FakeScreen() {
    for (auto& w : windows_) w = std::make_unique<FakeWindow>();
  }
  FakeWindow* Wnd(int i) const { return windows_.at(static_cast<size_t>(i)).get(); }

  FakeWindow* GetWnd(int i) const override { return i >= 0 && i < kWindowCount ? Wnd(i) : nullptr; }
  int GetActiveIndex() const override { return active_; }
  void SetActiveIndex(int i, int) override {
    if (i >= 0 && i < kWindowCount) active_ = i;
  }
  int FindIndexByHwnd(plat::WindowHandle wnd) const override {
    for (int i = 0; i < kWindowCount; ++i)
      if (wnd && Wnd(i)->GetSafeHwnd() == wnd) return i;
    return -1;
  }
  // The first window of the page becomes active; a test asks for pages starting at 0.
  int SetMode(int mode, int first) override {
    mode_ = mode;
    active_ = std::clamp(first, 0, kWindowCount - 1);
    return 1;
  }
  int GetLayoutMode() const override { return mode_; }

 private:
  std::array<std::unique_ptr<FakeWindow>, kWindowCount> windows_;
  int active_ = 0;
  int mode_ = 1;
};

}  // namespace modeltest
