// The scenes of the contact sheet: the main window in its four states and a panel with the
// controls, built from the real widgets, plus a strip of each control in its states.
#pragma once

#include <QImage>
#include <QString>
#include <QVector>

namespace sheet {

struct Tile {
    QString caption;
    QImage image;
};

// The main window as it looks in each state (Empty, FilesAdded, Processing, Success).
QVector<Tile> MainWindowScenes();
// A watermark-like panel with the value controls, and each control in its states.
QVector<Tile> ControlScenes();
// The image buttons, picker, colour button and link in their states.
QVector<Tile> ButtonScenes();
// The four operation panels in each of their modes.
QVector<Tile> PanelScenes();

} // namespace sheet
