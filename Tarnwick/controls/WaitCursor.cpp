#include "controls/WaitCursor.h"

#include <QApplication>

CWaitCursor::CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
CWaitCursor::~CWaitCursor() { Restore(); }
void CWaitCursor::Restore() {
  if (m_shown) QApplication::restoreOverrideCursor();
  m_shown = false;
}
