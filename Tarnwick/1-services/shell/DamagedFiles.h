#pragma once
// What the user is told of a data file that could not be read whole or at all: the notices,
// over the marks and kept copies of FileDamage.h (which tell nobody), so that whoever finds
// the damage tells it in the user's language.
#include <cstdint>
#include <string>

#include "shell/FileDamage.h"

// Marks the file (MarkDamagedFile) and, the first time, tells the user DamageNoticeText.
void ReportDamagedFile(const std::u16string& fileName, const std::string& what);

// The text `textId` with every "%s" replaced by the file's path (it lies in the program's folder).
std::u16string DamagedFileText(uint32_t textId, const std::u16string& fileName);
// The text `textId` with every "%1" replaced by the file's path and every "%2" by `reason`.
std::u16string UnopenableFileText(uint32_t textId, const std::u16string& fileName,
                                  const std::u16string& reason);
// What the user is told of a file reported damaged: that it could not be read whole, or, when
// nothing of it can be read, which file that is and why (a folder stands there, say).
std::u16string DamageNoticeText(const std::u16string& fileName);

// Why a file cannot be read at all, in the user's language ("it is a folder"); empty when it
// can be, or when nothing is there.
std::u16string UnreadableReasonText(const std::string& nativePath);
