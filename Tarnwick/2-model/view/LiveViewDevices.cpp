// The live view's model: the alarm list, alarms of armed devices, device exceptions and
// reboots, arming changes, and the selected device's arming and talk.
#include <algorithm>
#include <cstring>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceTreeNodes.h"
#include "plat/log.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "view/LiveViewModel.h"
#include "view/PreviewManager.h"

namespace {

using Row = CLiveViewModel::Row;

const char* AlarmPrefix(int32_t type) {
  switch (type) {
    case 0: return "Signal Alarm:";
    case 1: return "HDD is Full:";
    case 2: return "Video Loss:";
    case 3: return "Motion Detect:";
    case 5: return "Access HDD failed:";
    case 6: return "Video Mask:";
    default: return "";
  }
}
bool IsChannelAlarm(int32_t type) { return type == 0 || type == 2 || type == 3 || type == 6; }
bool IsDiskAlarm(int32_t type) { return type == 1 || type == 5; }

std::u16string U16(const std::string& utf8) { return plat::utf8ToUtf16(utf8); }

// The talk's data callback: the page has no use for what the device sends back.
void IgnoreTalkData(intptr_t, const char*, uint32_t, intptr_t) {}

}  // namespace

// --- the alarm list --------------------------------------------------------------------------

void CLiveViewModel::AddAlarmRow(const std::u16string* text) {
  if (!alarmList_) return;
  const std::tm t = Now();
  char stamp[64] = "";
  if (std::strftime(stamp, sizeof stamp, "%y-%m-%d %H:%M:%S", &t) == 0) stamp[0] = 0;
  if (alarmList_->Count() > kAlarmRowsMax - 1) alarmList_->Clear();
  if (!text) return;
  alarmList_->InsertTop(U16(stamp), *text);
}

void CLiveViewModel::ClearAlarms() {
  if (alarmList_) alarmList_->Clear();
}

intptr_t CLiveViewModel::OnDeviceAlarm(const MsgAlarmInfo& block) {
  // The IP field is a fixed 128-byte field that the sender may leave unterminated.
  const std::string ip(block.deviceIP, strnlen(block.deviceIP, sizeof block.deviceIP));
  CDeviceManager* devices = CDeviceManager::GetInstance();
  CDevice* device =
      block.loginId == -1 ? devices->FindDeviceByIP(ip.c_str()) : devices->FindDeviceByLoginId(block.loginId);
  const Row node = device && device->GetAlarmState() != 0 ? FindDeviceRow(device) : 0;
  if (!node) return -1;
  std::u16string text = U16(AlarmPrefix(block.alarmType)) + u"User:" + device->GetDevInfo().GetUserName() +
                        u" Device:" + device->GetDevInfo().GetName() + u" IP:" + plat::gbkToUtf16(ip) + u" ";
  if (IsChannelAlarm(block.alarmType)) {
    const int count = std::min(device->GetDevInfo().GetChnNum(), 64);
    for (int i = 0; i < count; ++i) {
      CChannel* channel = devices->GetChannel(device, i + 1);
      if (!channel) continue;
      if (block.flags[i] == 1) {
        channel->SetAlarmFlag(1);
        text += U16("Chn" + std::to_string(i + 1) + " ");
      } else {
        channel->SetAlarmFlag(0);
      }
    }
    SetDeviceIcon(device, node);
    RefreshChannelIcons(device, node);
  } else if (IsDiskAlarm(block.alarmType)) {
    for (int j = 0; j < 33; ++j)
      if (block.flags[j] == 1) text += U16("HDD" + std::to_string(j + 1));
  }
  AddAlarmRow(&text);
  return 0;
}

// --- device messages -------------------------------------------------------------------------

intptr_t CLiveViewModel::OnDeviceException(int loginId) {
  CDevice* device = CDeviceManager::GetInstance()->FindDeviceByLoginId(loginId);
  if (!device) return -1;
  // Every item of the device goes, running or not, before its objects are released; the
  // release and the logout run on the device's queue, and the marks follow when they ended.
  const std::u16string guid = device->GetGuid();
  // What the user loses with the device, told before it goes: nothing of it comes back by
  // itself, so a silent loss would leave dark windows and an arming that reports nothing.
  int windows = 0;
  bool recorded = false;
  for (const PreviewItemPtr& item : CPreviewManager::GetInstance()->ItemsOfDevice(guid)) {
    ++windows;
    recorded = recorded || item->IsRecording();
  }
  const bool armed = device->GetAlarmState() != 0;
  StopDeviceWindows(guid, true);
  device->ReleaseAll();
  TellDeviceLost(device->GetDevInfo().GetName(), windows, recorded, armed);
  devwork::Run(
      guid,
      [device] {
        if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
      },
      [this, guid] {
        CDevice* d = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (const Row node = FindDeviceRow(d)) {
          SetDeviceIcon(d, node);
          RefreshChannelIcons(d, node);
        }
      },
      owner_);
  return 0;
}

void CLiveViewModel::StopDeviceWindows(const std::u16string& guid, bool lost) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (const PreviewItemPtr& item : manager->ItemsOfDevice(guid)) {
    item->SetDeviceLost();
    memberWindows_.erase(item->GetWindow());
    rolling_.erase(item->GetWindow());
    if (ILiveWindow* wnd = WndOf(item->GetWindow()); wnd && wnd->GetSafeHwnd() == item->GetPlayWnd()) {
      wnd->Show(lost ? ILiveWindow::State::kDeviceLost : ILiveWindow::State::kIdle);
    }
  }
  manager->StopDeviceAll(guid);
}

void CLiveViewModel::TellDeviceLost(const std::u16string& name, int windows, bool recorded, bool armed) {
  PLAT_LOGW("preview", "device %s lost: %d window(s) closed%s%s; it is logged out", plat::utf16ToUtf8(name).c_str(),
            windows, recorded ? ", recording stopped" : "", armed ? ", disarmed" : "");
  if (windows == 0 && !armed) return;  // nothing of the live page went with it
  std::u16string text = LoadResString(IDS_DEVICE_LOST_NOTICE) + name;
  if (windows > 0) text += LoadResString(IDS_LOST_WINDOWS_CLOSED);
  if (recorded) text += LoadResString(IDS_LOST_RECORDING_STOPPED);
  if (armed) text += LoadResString(IDS_LOST_DISARMED);
  // The notice passes; the alarm list keeps it, with what to do, for a user who was on
  // another page.
  const std::u16string row = text + LoadResString(IDS_LOST_OPEN_AGAIN);
  AddAlarmRow(&row);
  Say(text);
}

intptr_t CLiveViewModel::OnDeviceReboot(CDevice* device) {
  device = LiveDevice(device);
  if (!device) return 0;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (item && item->GetDeviceGuid() == device->GetGuid())
      StopWindowPreview(item, FindChannelRow(device, item->GetChannel()));
  }
  // Items that were listed but not running go too.
  StopDeviceWindows(device->GetGuid());
  device->ReleaseAll();
  devwork::Run(device->GetGuid(), [device] {
    device->RebootDevice();
    if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
  });
  return 0;
}

intptr_t CLiveViewModel::OnDeviceArming(CDevice* device, int state) {
  device = LiveDevice(device);
  if (!device) return 0;
  const Row node = FindDeviceRow(device);
  device->SetAlarmState(state);
  if (node) SetDeviceIcon(device, node);
  return 0;
}

// --- the selected device: arming and talk ----------------------------------------------------

CDevice* CLiveViewModel::GetSelectedDevice() {
  const Row node = SelectedDeviceRow();
  if (!node) {
    Notice(IDS_SELECT_DEVICE);
    return nullptr;
  }
  const DeviceTreeNode* data = deviceTree_->DeviceNode(node);
  if (!data || data->type != DeviceTreeNode::kDevice || !data->Device()) {
    Notice(IDS_INVALID_DEVICE);
    return nullptr;
  }
  return data->Device();
}

void CLiveViewModel::OnArm() {
  const Row node = SelectedDeviceRow();
  const DeviceTreeNode* data = node ? deviceTree_->DeviceNode(node) : nullptr;
  if (!data || data->type != DeviceTreeNode::kDevice || !data->Device()) return;
  CDevice* device = data->Device();
  // An alarm channel already set up toggles the page's arming without contacting the device.
  if (IDevAlarm* alarm = device->GetAlarm(0); alarm && alarm->IsSetup()) {
    SetDeviceIcon(device, node);
    device->SetAlarmState(device->GetAlarmState() == 1 ? 0 : 1);
    SetDeviceIcon(device, node);
    RefreshChannelIcons(device, node);
    return;
  }
  enum class Armed { kNoAlarm, kAlreadySetUp, kSetUp, kFailed };
  const std::u16string guid = device->GetGuid();
  devwork::Run<Armed>(
      guid,
      [device] {
        IDevAlarm* alarm = device->GetAlarm(1);  // logs in when needed
        if (!alarm) return Armed::kNoAlarm;
        if (alarm->IsSetup()) return Armed::kAlreadySetUp;
        return alarm->SetupAlarmChan() ? Armed::kSetUp : Armed::kFailed;
      },
      [this, guid](Armed result) {
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (!device) return;
        if (result == Armed::kNoAlarm) {
          Notice(IDS_NOT_LOGGED_IN);
          return;
        }
        const Row node = FindDeviceRow(device);
        SetDeviceIcon(device, node);
        if (result == Armed::kAlreadySetUp) {
          device->SetAlarmState(device->GetAlarmState() == 1 ? 0 : 1);
          SetDeviceIcon(device, node);
          RefreshChannelIcons(device, node);
          return;
        }
        if (result == Armed::kSetUp) {
          device->SetAlarmState(1);
          refreshTimer_ = true;
          if (host_.startTimer) host_.startTimer(kRefreshTimer, kRefreshMs, false);
        }
        SetDeviceIcon(device, node);
      },
      owner_, Armed::kFailed);
}

void CLiveViewModel::OnVoiceTalk() {
  CUser* user = CUser::GetInstance();
  if (!user || user->GetName().empty()) return;
  if (!user->HasRight(RIGHT_VOICE_TALK)) {
    Notice(IDS_NO_RIGHT_VOICE_TALK);
    return;
  }
  CDevice* device = GetSelectedDevice();
  if (!device || talkPending_) return;
  if (!talkName_.empty()) {
    // The talk belongs to the device named; stop it there, whichever device is selected.
    CDevice* talking = CDeviceManager::GetInstance()->FindDevice(talkName_, 0);
    CDevice* target = talking ? talking : device;
    devwork::Run(target->GetGuid(), [target] { target->StopVoiceCom(); });
    talkName_.clear();
    return;
  }
  struct Talk {
    bool loggedInFirst = false;
    bool started = false;
  };
  const std::u16string guid = device->GetGuid();
  // Pending until its answer comes, which always does; a talk that could not be queued is not.
  talkPending_ = devwork::Ask<Talk>(
      guid,
      [device] {
        Talk t;
        if (!device->IsLoggedIn()) {
          t.loggedInFirst = true;
          if (IDevUserLogin* login = device->GetUserLogin(1)) login->Login();
        }
        // A refused talk is not shown as running.
        t.started = device->StartVoiceCom(1, 0, reinterpret_cast<intptr_t>(&IgnoreTalkData), 0) > 0 &&
                    device->IsLoggedIn();
        return t;
      },
      [this, guid](Talk t) {
        talkPending_ = false;
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (!device) return;
        if (t.loggedInFirst) SetDeviceIcon(device, FindDeviceRow(device));
        if (t.started) talkName_ = device->GetDevInfo().GetName();
        else talkName_.clear();
      },
      owner_, Talk{});
}
