#pragma once
// Skin images from the program's own resources. The artwork is compiled into the program as
// PNG resources, one per image id (see SkinImages.h); resources are looked up by id or name.
#include <QImage>
#include <QString>

// Loads skin image `id` of `type` ("PNG") into `image` (emptied first). False for a null image
// or a missing resource; a resource whose bytes are no picture gives true and an empty image.
bool LoadPngResource(QImage* image, int id, const char* type = "PNG");

// The same by id or by resource name, used by the image buttons and the slider.
bool LoadImageFromResource(QImage& image, int id, const char* type = "PNG");
bool LoadImageFromResource(QImage& image, const QString& name, const char* type = "PNG");

// Decodes a picture file into `image` (emptied first); false when missing or undecodable.
bool LoadImageFile(QImage& image, const QString& path);

// The skin image id for the interface language: N for Chinese, N + 10000 for English.
int LocalizedImageId(int chineseId, int languageId);
