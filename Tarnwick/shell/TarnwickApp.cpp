#include "shell/TarnwickApp.h"

#include "controls/TaskbarNotifier.h"
#include "devices/SystemBridge.h"
#include "plat/instance.h"
#include "shell/Language.h"
#include "shell/PrivateFiles.h"
#include "shell/TarnwickDlg.h"
#include "shell/UiService.h"

CTarnwickApp::CTarnwickApp() = default;

CTarnwickApp::~CTarnwickApp() = default;

bool CTarnwickApp::InitInstance() {
  // Before anything is written: what the program keeps is for its user's eyes only.
  KeepNewFilesPrivate();
  TightenPrivateFiles();
  SelectLanguage();
  m_hMutex = std::make_unique<plat::SingleInstanceLock>(kInstanceName);
  // A lock that could not be made at all leaves this run unprotected, as a first instance.
  if (m_hMutex->heldElsewhere()) {
    // The other instance holds the name: this start only says so.
    m_hMutex.reset();
    m_refused = true;
    UiService().MessageBox(nullptr, LoadResString(IDS_ALREADY_RUNNING), LoadResString(IDS_NOTICE), MB_OK);
    return false;
  }
  StartSystem();
  {
    CTarnwickDlg dlg;
    dlg.DoModal();
  }
  return false;
}

int CTarnwickApp::ExitInstance() {
  StopSystem();
  FreeNotifier();
  FreeLanguageLibrary();
  m_hMutex.reset();
  return 0;
}
