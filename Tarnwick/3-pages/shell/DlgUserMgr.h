#pragma once
// The user manager sub-page of the settings page: the account list, the rights tree of the
// selected ordinary user, and Add, Delete and Modify.
#include "controls/PageDialog.h"
#include "shell/DlgUserMgrController.h"

class CBitmapButtonEx;
class CListCtrlEx;
class QTreeWidget;
class QTreeWidgetItem;

class CDlgUserMgr : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 145;
  enum ControlId { IDC_ADD = 1399, IDC_DELETE = 1400, IDC_MODIFY = 1401, IDC_LIST = 1374, IDC_RIGHTS = 1988 };
  static inline const QColor kBackground{145, 151, 160};

  CDlgUserMgr();
  ~CDlgUserMgr() override;

  void OnAdd();
  void OnDelete();
  void OnModify();
  // A click on the list at a row (-1: on no row).
  void OnListClick(int row);
  UserMgrController& Controller() { return m_controller; }

 protected:
  bool OnInitDialog() override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ShowRights();
  void OnRightChanged(QTreeWidgetItem* item);
  void EnableSelection(bool on);
  void Layout();

  UserMgrController m_controller;
  CBitmapButtonEx* m_add = nullptr;
  CBitmapButtonEx* m_delete = nullptr;
  CBitmapButtonEx* m_modify = nullptr;
  CListCtrlEx* m_list = nullptr;
  QTreeWidget* m_rights = nullptr;
  bool m_showingRights = false;
};
