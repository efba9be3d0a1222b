#include "shell/DamagedFiles.h"

#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/UiService.h"

namespace {

std::u16string Replace(std::u16string text, const std::u16string& from, const std::u16string& to) {
  for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

void ReportDamagedFile(const std::u16string& fileName, const std::string& what) {
  if (MarkDamagedFile(fileName, what)) UiService().Notice(DamageNoticeText(fileName));
}

std::u16string UnreadableReasonText(const std::string& path) {
  switch (StandingOf(path)) {
    case FileStanding::Readable: return {};
    case FileStanding::Folder: return LoadResString(IDS_IS_A_FOLDER);
    case FileStanding::NoPermission: return LoadResString(IDS_NO_READ_PERMISSION);
    case FileStanding::NotAFile:
    case FileStanding::Unreadable: break;
  }
  return LoadResString(IDS_CANNOT_BE_READ);
}

std::u16string DamagedFileText(uint32_t textId, const std::u16string& fileName) {
  // Named where it lies on this machine, so the user finds it and its kept copy.
  return Replace(LoadResString(textId), u"%s", ProgramDirPath(fileName));
}

std::u16string UnopenableFileText(uint32_t textId, const std::u16string& fileName,
                                  const std::u16string& reason) {
  return Replace(Replace(LoadResString(textId), u"%1", ProgramDirPath(fileName)), u"%2", reason);
}

std::u16string DamageNoticeText(const std::u16string& fileName) {
  const std::u16string reason = UnreadableReasonText(plat::utf16ToUtf8(ProgramDirPath(fileName)));
  if (reason.empty()) return DamagedFileText(IDS_DAMAGED_FILE, fileName);
  return UnopenableFileText(IDS_UNOPENABLE_FILE, fileName, reason);
}
