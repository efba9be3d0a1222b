#include "shell/QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "plat/log.h"

namespace {
std::unique_ptr<QTranslator> g_translator;  // UI thread only
}  // namespace

void SetQtTextsLanguage(bool english) {
  if (!QCoreApplication::instance()) return;
  if (g_translator) {
    QCoreApplication::removeTranslator(g_translator.get());
    g_translator.reset();
  }
  if (english) return;
  auto translator = std::make_unique<QTranslator>();
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                        folder)) {
    PLAT_LOGW("shell", "no Chinese translation of Qt's own texts in %s: standard buttons stay in English",
              folder.toUtf8().constData());
    return;
  }
  QCoreApplication::installTranslator(translator.get());
  g_translator = std::move(translator);
}
