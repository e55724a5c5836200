// Loading of the skin images compiled into the program and the small drawing routines the
// controls share. Images are addressed by their skin name ("BGTOP", "WATERMARKU", ...).
#pragma once

#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace rx {

// Makes the compiled-in resources available; safe to call more than once.
void InitSkinResources();

// Loads the named skin image into the slot, replacing what it held. When the image does not
// exist the slot is left unchanged. Returns whether the slot now holds an image.
bool LoadPngResource(const QString& name, QImage& slot);

// The application icon in every size it is shipped in.
QIcon LoadAppIcon();

// Draws the image at (x, y) at its natural size.
void DrawImageAt(QPainter& g, const QImage& image, qreal x, qreal y);
// Draws the image scaled into the rectangle.
void DrawImageIn(QPainter& g, const QImage& image, const QRectF& rect);
// (0, 0, width, height) of the image.
QRectF ImageRect(const QImage& image);

} // namespace rx
