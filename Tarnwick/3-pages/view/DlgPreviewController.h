#pragma once
// The live page's controller: its logic is the live view's model (view/LiveViewModel.h),
// bound here to the page's device tree, group tree and alarm list, whose items are the
// model's rows (view/LiveTreeItems.h). What the page and its tests ask in items (a node to
// mark, the selected channel's node) is answered here in items; the alarm blocks the page
// receives go back to the pool here once the model has read them.
#include <QTreeWidget>
#include <string>

#include "view/LiveViewModel.h"

struct MsgAlarmInfo;

class CPreviewController : public CLiveViewModel {
 public:
  CPreviewController(QTreeWidget* deviceTree, QTreeWidget* groupTree, QTreeWidget* alarmList);

  void OpenGroupMember(QTreeWidgetItem* member);
  void StopWindowPreview(const PreviewItemPtr& item, QTreeWidgetItem* node);
  bool GetSelectedChannelPreview(QTreeWidgetItem** node, int* channel, std::u16string* guid);
  void OnDeviceTreeClick(QTreeWidgetItem* item);

  QTreeWidgetItem* FindDeviceItem(CDevice* device);
  QTreeWidgetItem* FindChannelItem(CDevice* device, int channel);
  void SetDeviceIcon(CDevice* device, QTreeWidgetItem* node);
  void SetChannelIcon(CChannel* channel, QTreeWidgetItem* node);
  void RefreshChannelIcons(CDevice* device, QTreeWidgetItem* deviceNode);
  void RefreshTreeIcons(QTreeWidgetItem* node);
  // The channel number of a channel node: its item data, else the last two digits of its
  // text; -1 when neither gives one.
  static int ChannelOfNode(const QTreeWidgetItem* node);

  // WM_DEVICE_ALARM: the block goes back to the pool on every path; -1 for a dropped one.
  intptr_t OnDeviceAlarm(MsgAlarmInfo* block);
};
