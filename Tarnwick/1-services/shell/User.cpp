#include "shell/User.h"

#include "shell/Singleton.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

CUser::CUser() = default;
CUser::~CUser() = default;

CUser* CUser::GetInstance() { return SingletonAccess<CUser>::GetInstance(); }

void CUser::ReleaseInstance() { SingletonAccess<CUser>::ReleaseInstance(); }

void CUser::SetIdentify(const std::u16string& identity) {
  std::u16string code = identity;
  IdentityToCode(code);
  m_notAdmin = code == IDENTITY_CODE_ADMIN ? 0 : 1;
}
