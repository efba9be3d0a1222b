#include "shell/DiskHelpers.h"

#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/UiService.h"

bool MakeFolderOrSay(const std::u16string& path) {
  if (MakeFolder(path)) return true;
  // Named where it is on this machine: the drive text is the program's own.
  UiService().Notice(LoadResString(IDS_CANNOT_CREATE_FOLDER) + plat::utf8ToUtf16(plat::toNativePath(path)));
  return false;
}
