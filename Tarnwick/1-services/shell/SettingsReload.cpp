#include "shell/SettingsReload.h"

#include "shell/DamagedFiles.h"
#include "shell/LocalSettings.h"
#include "shell/UiService.h"

int ReloadSettingsTellingDamage(CLocalSettings& settings) {
  const int loaded = settings.Reload();
  if (settings.IsDamaged()) UiService().Notice(DamageNoticeText(CLocalSettings::SettingsFileName()));
  return loaded;
}
