#include "shell/TarnwickApp.h"

#include <csignal>

#include "plat/instance.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DiskHelpers.h"
#include "shell/Language.h"
#include "shell/PrivateFiles.h"
#include "shell/StringIds.h"
#include "shell/TarnwickDlg.h"
#include "shell/UiService.h"
#include "view/SystemBridge.h"

CTarnwickApp::CTarnwickApp() = default;

CTarnwickApp::~CTarnwickApp() = default;

bool CTarnwickApp::InitInstance() {
  // A write past the process's file-size limit fails as one onto a full disk does (the
  // recording ends with its notice) instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Before anything is written: what the program keeps is for its user's eyes only.
  KeepNewFilesPrivate();
  // The data folder is made on first use (a TARNWICK_HOME of a new folder).
  const std::u16string home = plat::utf8ToUtf16(plat::programDir());
  const bool haveHome = MakeFolder(home);
  SelectLanguage();
  m_hMutex = std::make_unique<plat::SingleInstanceLock>(kInstanceName);
  if (m_hMutex->heldElsewhere()) {
    // The other instance holds the name: this start only says so.
    m_hMutex.reset();
    m_refused = true;
    UiService().MessageBox(nullptr, LoadResString(IDS_ALREADY_RUNNING), LoadResString(IDS_NOTICE), MB_OK);
    return false;
  }
  // No folder fit for the lock (none of the user's own): this run goes on as a first instance
  // without the protection, and says nothing.
  TightenPrivateFiles();
  if (!haveHome)
    UiService().MessageBox(nullptr, LoadResString(IDS_CANNOT_CREATE_FOLDER) + home, LoadResString(IDS_NOTICE),
                           MB_OK | MB_ICONERROR);
  StartSystem();
  {
    CTarnwickDlg dlg;
    dlg.DoModal();
  }
  return false;
}

int CTarnwickApp::ExitInstance() {
  StopSystem();  // the notifier goes with the other services
  FreeLanguageLibrary();
  m_hMutex.reset();
  return 0;
}
