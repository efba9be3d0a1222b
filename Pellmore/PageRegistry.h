#pragma once
// The pages of the configuration window and how one plugs in. The tree (groups, items, page
// bits) is fixed here; a page class registers a factory for its bit from its own source file
// (PELLMORE_REGISTER_PAGE) and the window creates, loads, asks and destroys it through the
// ConfigPage contract. Items whose page is not registered show nothing.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "Records.h"
#include "plat/msgthread.h"
#include "plat/window.h"

namespace pellmore {

// Sent by a page to the configuration window: write the picture record of the channel in
// wParam (0-based) to the device at once; lParam 0. The window answers 0.
constexpr uint32_t WM_SAVE_CHANNEL_PICTURE = plat::WM_USER + 1234;

// Which single record a page's CollectChanges result marks (channel, input and output pages
// set their own per-record marks and report None).
enum class RecordMark { None, Device, Network, Ddns, Ntp };

// What a page is given when it is loaded.
struct PageContext {
  ConfigRecords* records = nullptr;
  uint8_t videoByte = 0;  // the device-information byte at offset 56, for the video page
  // Queues a device exchange of the page's own; it runs on the session's queue with the login.
  std::function<void(std::function<void(int32_t login)>)> exchange;
  plat::WindowHandle window = 0;  // the configuration window, for its messages
};

// The contract every page fulfils.
class ConfigPage : public QWidget {
 public:
  explicit ConfigPage(QWidget* parent = nullptr) : QWidget(parent) {}
  // Called once, right after creation: fill the snapshot and the working copy, show them.
  virtual void Load(PageContext& context) = 0;
  // Called by Save for every page that exists, before anything is collected: false when the
  // page holds a malformed address (it has shown why); nothing is saved then.
  virtual bool Validate() { return true; }
  // Called by Save for every page that exists: controls into the working copy, then every
  // channel (input, output, record) that differs from its snapshot goes into the window's
  // record. Per-record pages set the records' marks themselves; single-record pages return
  // whether their record changed and the window marks it. Never clears a mark.
  virtual bool CollectChanges(ConfigRecords& records) = 0;
  // After CollectChanges: true when the page kept its edits out of this Save (they stay in
  // its controls); the Save's summary then names the page instead of telling success.
  virtual bool HeldBack() const { return false; }
};

using PageFactory = std::function<ConfigPage*(QWidget* parent)>;

struct PageEntry {
  uint32_t bit;
  uint32_t groupTextId;  // the group it is listed under
  uint32_t textId;       // the tree item's text
  RecordMark mark;
  int collectOrder;  // place in Save's collection (lower first)
  int destroyOrder;  // place when the window closes
};

// The 17 pages in tree order.
const std::vector<PageEntry>& PageTable();
const PageEntry* FindPage(uint32_t bit);

// Registration of a page class for its bit; the last registration wins.
void RegisterPage(uint32_t bit, PageFactory factory);
PageFactory PageFactoryFor(uint32_t bit);

struct PageRegistrar {
  PageRegistrar(uint32_t bit, PageFactory factory) { RegisterPage(bit, std::move(factory)); }
};

}  // namespace pellmore

#define PELLMORE_REGISTER_PAGE(Class, bit)                                                \
  namespace {                                                                             \
  const ::pellmore::PageRegistrar registrar_##Class(                                      \
      bit, [](QWidget* parent) -> ::pellmore::ConfigPage* { return new Class(parent); }); \
  }
