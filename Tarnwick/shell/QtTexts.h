#pragma once
// Qt's own texts (the standard buttons of message boxes, the file dialog) in the interface
// language: Chinese takes the translations Qt ships (Debian's qt6-translations-l10n),
// English is Qt's own.
// Installs or removes the translation for the application; nothing without an application.
void SetQtTextsLanguage(bool english);
