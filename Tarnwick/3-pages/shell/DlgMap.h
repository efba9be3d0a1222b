#pragma once
// The e-map page: a placeholder page of the main window whose button stays hidden.
#include "controls/PageDialog.h"

class CDlgMap : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 106;
  CDlgMap();
  ~CDlgMap() override;

 protected:
  bool OnInitDialog() override;
};
