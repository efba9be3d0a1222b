#pragma once
// The settings loaded again at the device side's start, when the language is chosen and the
// program is starting: a damaged settings file is told to the user there. The first load runs
// before either, and the settings stand below the texts that tell it.
class CLocalSettings;

// CLocalSettings::Reload, and the damage notice of the settings file when it is damaged.
int ReloadSettingsTellingDamage(CLocalSettings& settings);
