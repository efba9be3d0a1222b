#pragma once
// The wall page: a placeholder page of the main window whose button stays hidden.
#include "controls/PageDialog.h"

class CDlgWall : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 135;
  CDlgWall();
  ~CDlgWall() override;

 protected:
  bool OnInitDialog() override;
};
