#include "controls/PngResource.h"

#include <QFile>
#include <mutex>

#include "controls/SkinImages.h"

// The generated skin resources live in a static library; naming them here links them in.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }

namespace {

void EnsureResources() {
  static std::once_flag once;
  std::call_once(once, [] { InitSkinResources(); });
}

bool DecodeInto(QImage& image, const QByteArray& bytes) {
  QImage decoded;
  if (bytes.isEmpty() || !decoded.loadFromData(bytes)) return false;
  image = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return !image.isNull();
}

// True once the resource is there, also when its bytes are no picture (the image then stays
// empty): only a missing resource is a failure.
bool LoadResourceBytes(QImage& image, const QString& name) {
  image = QImage();
  EnsureResources();
  QFile f(QStringLiteral(":/skin/") + name + QStringLiteral(".png"));
  if (!f.open(QIODevice::ReadOnly)) return false;
  DecodeInto(image, f.readAll());
  return true;
}

}  // namespace

bool LoadPngResource(QImage* image, int id, const char* /*type*/) {
  if (!image) return false;
  return LoadResourceBytes(*image, QString::number(id));
}

bool LoadImageFromResource(QImage& image, int id, const char* /*type*/) {
  return LoadResourceBytes(image, QString::number(id));
}

bool LoadImageFromResource(QImage& image, const QString& name, const char* /*type*/) {
  return LoadResourceBytes(image, name);
}

bool LoadImageFile(QImage& image, const QString& path) {
  image = QImage();
  QFile f(path);
  if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return false;
  return DecodeInto(image, f.readAll());
}

int LocalizedImageId(int chineseId, int languageId) {
  return languageId == kLanguageEnglishImages ? chineseId + 10000 : chineseId;
}
