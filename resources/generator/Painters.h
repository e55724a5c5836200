// The painters of the skin images, grouped by kind. Each returns a finished image of the
// requested size; the generator checks the size against the skin table.
#pragma once

#include <QImage>
#include <QString>

namespace art {

// Window backgrounds, the panel texture, the progress track and the about picture.
QImage PaintBackground(const QString& name, int width, int height);
// Buttons and toggles with their U, D and X states; the name carries the state letter.
QImage PaintButton(const QString& name, int width, int height);
// Pieces of the value controls, the picker and the small icons.
QImage PaintControlPiece(const QString& name, int width, int height);
// The application icon at one size.
QImage PaintAppIcon(int size);

// The paper texture shared by SETTINGS and BGBOTTOM, so that they join without a seam.
QColor PaperAt(int x, int y);

} // namespace art
