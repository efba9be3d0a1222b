#pragma once
// The device manager page (a sub-page of the settings page): the device tree of regions,
// stream-media servers, devices and channels, the group tree of channel groups, and the
// buttons of their commands. Its data and tree building are CDevMgrModel's; the page keeps
// the widgets, the member dialogs and the trees of other pages that mirror it.
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <set>
#include <vector>

#include "controls/BitmapButtonEx.h"
#include "controls/PageDialog.h"
#include "devices/DevMgrController.h"
#include "devices/DevMgrModel.h"
#include "devices/DlgAddDev.h"
#include "devices/DlgAddGrp.h"
#include "devices/DlgAddRegion.h"
#include "devices/DlgAddSM.h"
#include "devices/DlgModifyChn.h"

class CDeviceManager;

class CDlgDevMgr : public CPageDialog, private IDevMgrPageUi {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 147;
  enum ControlId {
    IDC_LABEL_DEVICES = 1103,
    IDC_DEVICE_TREE = 1018,
    IDC_LABEL_GROUPS = 1106,
    IDC_GROUP_TREE = 1019,
    IDC_ADD_REGION = 1112,
    IDC_DELETE_REGION = 1118,
    IDC_ADD_SERVER = 1162,
    IDC_DELETE_SERVER = 1168,
    IDC_ADD_DEVICE = 1150,
    IDC_DELETE_DEVICE = 1156,
    IDC_MODIFY = 1131,
    IDC_ADD_GROUP = 1122,
    IDC_DELETE_GROUP = 1126,
    IDC_MODIFY_GROUP = 1134,
    IDC_TO_GROUP = 1952,
    IDC_FROM_GROUP = 5553,
    IDC_MOVE_UP = 1949,
    IDC_MOVE_DOWN = 1950,
    IDC_REMOTE_SETUP = 1951
  };
  static constexpr int kGap = 130;  // between the two trees, where the image buttons sit
  static constexpr int kArrowRadius = 37;
  static inline const QColor kBackground{145, 151, 160};

  static constexpr int kDeviceMenuId = 151, kGroupMenuId = 153;

  // `work`: what runs on devices elsewhere (the program's live view); it outlives the page.
  explicit CDlgDevMgr(IDeviceWorkServices& work, CDeviceManager* devices = nullptr);
  ~CDlgDevMgr() override;  // the page's end (OnDestroy) when it still has to run

  CDevMgrModel& Model() { return m_model; }
  // The page's device tree; a page not shown yet fills it when it is first asked for.
  QTreeWidget* DeviceTree();
  QTreeWidget* GroupTree() const { return m_groupTree; }
  CDlgAddRegion& AddRegionDialog() { return *m_dlgAddRegion; }
  CDlgAddGrp& AddGroupDialog() { return *m_dlgAddGrp; }
  CDlgAddSM& AddServerDialog() { return *m_dlgAddSM; }
  CDlgAddDev& AddDeviceDialog() { return *m_dlgAddDev; }
  CDlgModifyChn& ModifyChannelDialog() { return *m_dlgModifyChn; }
  CDevMgrController& Controller() { return m_controller; }

  // The selected items as the commands see them.
  DeviceSelection SelectedDevice() const;
  GroupTreeNode* SelectedGroupNode() const;
  // The context menu of a tree for its selected item (null when none opens; a channel's opens
  // empty); its actions carry their command ids as object names and run them when triggered.
  QMenu* BuildDeviceMenu();
  QMenu* BuildGroupMenu();
  // A menu entry or button of the page.
  void OnCommand(int id);

  // Trees of other pages rebuilt after every change (a null tree is ignored); a tree not
  // shown is emptied and filled when it is shown.
  void RegisterDeviceTree(QTreeWidget* tree);
  void RegisterGroupTree(QTreeWidget* tree);
  void RefreshRegisteredDeviceTrees();
  void RefreshRegisteredGroupTrees();
  void BuildDeviceTree(QTreeWidget* tree);
  void RebuildGroupTree(QTreeWidget* tree);
  // The preview page told of tree changes (WM_REFRESH_TREE): the main window hands over its
  // own while it is set up, since this page sits below the window that holds both.
  void SetPreviewWindow(plat::WindowHandle window) { m_previewWindow = window; }

  bool IsRegionNameUsed(const CRegionInfo* region) const { return m_model.IsRegionNameUsed(region); }
  bool IsDeviceNameUsed(const CDevInfo* info, int nodeType) const { return m_model.IsDeviceNameUsed(info, nodeType); }
  bool IsGroupNameUsed(const CGroupInfo* group) const { return m_model.IsGroupNameUsed(group); }

  // The page's end: writes the three tables and frees the nodes (once).
  void OnDestroy();

 protected:
  bool OnInitDialog() override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void InitControls();
  void InitTrees();
  // Builds a device tree now when it is shown, else when it is next shown.
  void FillWhenShown(QTreeWidget* tree);
  // WM_REFRESH_TREE to the preview page.
  void NotifyPreviewOfTrees();
  void OnSize();
  void OnTreeMenu(QTreeWidget* tree, const QPoint& pos);
  QMenu* BuildMenu(int menuId, const std::vector<MenuEntry>& entries, bool openEmpty = false);

  // IDevMgrPageUi
  bool EditRegion(CRegionInfo& region, bool add, const std::u16string& parentName) override;
  bool EditServer(CDevInfo& info, bool add, const std::u16string& regionName) override;
  bool EditDevice(CDevInfo& info, bool add, const std::u16string& regionName) override;
  bool EditGroup(CGroupInfo& group, bool add) override;
  bool EditChannel(CDevice& device, int channel) override;
  bool Confirm(const std::u16string& text) override;
  uint32_t OpenRemoteSetup(CDevice& device) override;
  void DeviceTreesChanged() override;
  void GroupTreesChanged() override;

  CDevMgrModel m_model;
  CDevMgrController m_controller;
  QLabel* m_labelDevices;
  QLabel* m_labelGroups;
  QTreeWidget* m_deviceTree;
  QTreeWidget* m_groupTree;
  std::vector<QPushButton*> m_commandButtons;  // hidden: their commands come through the menus
  std::vector<CBitmapButtonEx*> m_imageButtons;
  CDlgAddRegion* m_dlgAddRegion;
  CDlgAddGrp* m_dlgAddGrp;
  CDlgAddSM* m_dlgAddSM;
  CDlgAddDev* m_dlgAddDev;
  CDlgModifyChn* m_dlgModifyChn;
  std::vector<QPointer<QTreeWidget>> m_deviceTrees;
  std::vector<QPointer<QTreeWidget>> m_groupTrees;
  std::set<QObject*> m_unfilled;  // device trees to fill when shown
  plat::WindowHandle m_previewWindow = 0;
  bool m_destroyed = false;
};
