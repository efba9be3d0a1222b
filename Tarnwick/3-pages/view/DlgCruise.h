#pragma once
// The cruise side panel of the preview page: the six cruise paths of the watched channel,
// with start, stop (all six) and the path settings dialog.
#include "controls/PageDialog.h"
#include "view/PtzPanelController.h"

class CBitmapButtonEx;
class CListCtrlEx;
class QMenu;

class CDlgCruise : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 138;
  static constexpr int kListId = 1064;
  static constexpr int kStartId = 1065, kStopId = 1062, kSettingsId = 5515;
  static constexpr int kMenuSettings = 32836;

  explicit CDlgCruise(IPanelHost* host);

  CListCtrlEx* List() const { return list_; }
  QMenu* Menu() const { return menu_; }
  void OnCommand(int id);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void OpenSettings();
  void Layout();

  IPanelHost* host_;
  CCruiseController controller_;
  CListCtrlEx* list_ = nullptr;
  CBitmapButtonEx* buttons_[3] = {};
  QMenu* menu_ = nullptr;
};
