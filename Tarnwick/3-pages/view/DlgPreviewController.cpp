#include "view/DlgPreviewController.h"

#include <memory>

#include "devices/TreeCtrlTarget.h"
#include "view/LiveTreeItems.h"
#include "view/SystemBridge.h"

namespace {

QTreeWidgetItem* ItemOf(ILiveTree::Row row) { return CLiveTreeItems::ItemOf(row); }
ILiveTree::Row RowOf(const QTreeWidgetItem* item) { return CLiveTreeItems::RowOf(item); }

}  // namespace

CPreviewController::CPreviewController(QTreeWidget* deviceTree, QTreeWidget* groupTree, QTreeWidget* alarmList)
    : CLiveViewModel(std::make_unique<CLiveTreeItems>(deviceTree), std::make_unique<CLiveTreeItems>(groupTree),
                     std::make_unique<CAlarmListItems>(alarmList)) {}

void CPreviewController::OpenGroupMember(QTreeWidgetItem* member) { CLiveViewModel::OpenGroupMember(RowOf(member)); }

void CPreviewController::StopWindowPreview(const PreviewItemPtr& item, QTreeWidgetItem* node) {
  CLiveViewModel::StopWindowPreview(item, RowOf(node));
}

bool CPreviewController::GetSelectedChannelPreview(QTreeWidgetItem** node, int* channel, std::u16string* guid) {
  Row row = 0;
  if (!CLiveViewModel::GetSelectedChannelPreview(&row, channel, guid)) return false;
  if (node) *node = ItemOf(row);
  return true;
}

void CPreviewController::OnDeviceTreeClick(QTreeWidgetItem* item) { CLiveViewModel::OnDeviceTreeClick(RowOf(item)); }

QTreeWidgetItem* CPreviewController::FindDeviceItem(CDevice* device) { return ItemOf(FindDeviceRow(device)); }

QTreeWidgetItem* CPreviewController::FindChannelItem(CDevice* device, int channel) {
  return ItemOf(FindChannelRow(device, channel));
}

void CPreviewController::SetDeviceIcon(CDevice* device, QTreeWidgetItem* node) {
  CLiveViewModel::SetDeviceIcon(device, RowOf(node));
}

void CPreviewController::SetChannelIcon(CChannel* channel, QTreeWidgetItem* node) {
  CLiveViewModel::SetChannelIcon(channel, RowOf(node));
}

void CPreviewController::RefreshChannelIcons(CDevice* device, QTreeWidgetItem* deviceNode) {
  CLiveViewModel::RefreshChannelIcons(device, RowOf(deviceNode));
}

void CPreviewController::RefreshTreeIcons(QTreeWidgetItem* node) { CLiveViewModel::RefreshTreeIcons(RowOf(node)); }

int CPreviewController::ChannelOfNode(const QTreeWidgetItem* node) {
  return node ? ChannelOf(ChannelNumberOf(node), node->text(0).toStdU16String()) : -1;
}

intptr_t CPreviewController::OnDeviceAlarm(MsgAlarmInfo* block) {
  if (!block) return -1;
  const intptr_t result = CLiveViewModel::OnDeviceAlarm(*block);
  FreeMsgBuffer(block);
  return result;
}
