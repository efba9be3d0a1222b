#pragma once
// The user database's file, its tables and the built-in administrator: the names the
// accounts store (UserStore.h) and the pass over passwords stored as typed
// (TypedPasswords.h) both use.

inline constexpr char16_t USER_DB_NAME[] = u"UserInfo.db";
inline constexpr char16_t TB_USER_INFO[] = u"Tb_UserInfo";
inline constexpr char16_t TB_RECENT_LOGIN_USER[] = u"Tb_RecentLoginUser";
inline constexpr char16_t TB_AUTO_LOGIN_USER[] = u"Tb_AutoLoginUser";
inline constexpr char16_t ADMIN_NAME[] = u"admin";
inline constexpr char16_t ADMIN_PASSWORD[] = u"804261";
