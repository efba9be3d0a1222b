#pragma once
// The preset side panel of the preview page: the 64 presets of the watched channel, each
// set, not set or unknown (cameras cannot tell), with go to, set and clear. The page sends
// WM_PANEL_BIND (1 bound, 0 unbound) when the active window gets or loses a live preview.
#include <memory>

#include "controls/PageDialog.h"
#include "view/PtzPanelController.h"

class CBitmapButtonEx;
class CListCtrlEx;
class QMenu;

class CDlgPresetPoint : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 137;
  static constexpr int kListId = 1064;
  static constexpr int kGoToId = 1065, kSetId = 1066, kClearId = 1067;
  static constexpr int kMenuSet = 32830, kMenuClear = 32834;

  explicit CDlgPresetPoint(IPanelHost* host);

  CListCtrlEx* List() const { return list_; }
  int SelectedRow() const { return selected_; }
  const CPresetModel& Model() const { return model_; }
  // What a click on the list does: the row under `pos` (viewport coordinates) becomes the
  // selection, -1 when none; a right click on a row opens the menu.
  void ClickAt(const QPoint& pos, bool right);
  QMenu* Menu() const { return menu_; }
  void OnCommand(int id);

 protected:
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void ShowStates();
  void Layout();

  int selected_ = -1;
  CPresetModel model_;
  CListCtrlEx* list_ = nullptr;
  CBitmapButtonEx* buttons_[3] = {};
  QMenu* menu_ = nullptr;
};
