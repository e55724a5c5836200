// The scenes of the contact sheet: the real main window in its four states, and each control
// in its states, built from the real widgets.
#pragma once

#include <QImage>
#include <QString>
#include <QVector>

namespace rx {
class PrivateFontCollection;
}

namespace sheet {

struct Tile {
    QString caption;
    QImage image;
};

// The real main window in each state (Empty, FilesAdded, Processing, Success), with two
// operation panels open.
QVector<Tile> MainWindowScenes(const rx::PrivateFontCollection& fonts);
// A watermark-like panel with the value controls, and each control in its states.
QVector<Tile> ControlScenes();
// The image buttons, picker, colour button and link in their states.
QVector<Tile> ButtonScenes();
// The four operation panels in each of their modes.
QVector<Tile> PanelScenes();

} // namespace sheet
