#pragma once
// Rights bits of a user account's Power word, the identity codes stored for an account, and
// the notice that refuses each right.
#include <cstdint>

#include "shell/StringIds.h"

inline constexpr int RIGHT_PTZ = 1;
inline constexpr int RIGHT_VIDEO_ADJUST = 2;
inline constexpr int RIGHT_REMOTE_PLAYBACK = 4;
inline constexpr int RIGHT_LOCAL_RECORD = 8;
inline constexpr int RIGHT_VOICE_TALK = 16;
inline constexpr int RIGHT_REMOTE_CONFIG = 32;
inline constexpr int RIGHTS_ALL = 63;

// Stored in the Identify column; language-independent.
inline constexpr char16_t IDENTITY_CODE_ADMIN[] = u"0";
inline constexpr char16_t IDENTITY_CODE_USER[] = u"1";

// The refusal notice of a right bit; 0 for a word that is not a single right.
constexpr uint32_t RightRefusalStringId(int right) {
  switch (right) {
    case RIGHT_PTZ: return IDS_NO_RIGHT_PTZ;
    case RIGHT_VIDEO_ADJUST: return IDS_NO_RIGHT_VIDEO_ADJUST;
    case RIGHT_REMOTE_PLAYBACK: return IDS_NO_RIGHT_REMOTE_PLAYBACK;
    case RIGHT_LOCAL_RECORD: return IDS_NO_RIGHT_LOCAL_RECORD;
    case RIGHT_VOICE_TALK: return IDS_NO_RIGHT_VOICE_TALK;
    case RIGHT_REMOTE_CONFIG: return IDS_NO_RIGHT_REMOTE_CONFIG;
    default: return 0;
  }
}
