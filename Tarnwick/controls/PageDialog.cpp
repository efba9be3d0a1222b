#include "controls/PageDialog.h"
#include "plat/controlid.h"

#include <QKeyEvent>

CPageDialog::CPageDialog(int templateId) : QWidget(nullptr), templateId_(templateId) {
  plat::Named(this, templateId);
}

CPageDialog::~CPageDialog() {
  if (plat::WindowHandle h = WindowHandleOf(this)) plat::unregisterWindow(h);
}

bool CPageDialog::Create(QWidget* parent) {
  if (created_) return true;
  hide();
  setParent(parent);
  setAttribute(Qt::WA_StyledBackground, true);
  AttachWindow(this, [this](uint32_t m, uintptr_t w, intptr_t l) { return WindowProc(m, w, l); });
  created_ = true;
  if (!OnInitDialog()) {
    created_ = false;
    return false;
  }
  return true;
}

intptr_t CPageDialog::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  OnMessage(message, wParam, lParam, result);
  return result;
}

bool CPageDialog::OnMessage(uint32_t, uintptr_t, intptr_t, intptr_t&) { return false; }

void CPageDialog::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return;
  if (e->key() == Qt::Key_Escape) {
    PostEscapeTo(parentWidget());
    return;
  }
  QWidget::keyPressEvent(e);
}
