// skin-sheet OUT.png
// Renders every skin image and every control in each of its states into one PNG for review.
// Runs without a display (the offscreen platform).
#include "SheetScenes.h"
#include "resources/SkinTable.h"
#include "ui/InterfaceFonts.h"
#include "ui/PrivateFontCollection.h"
#include "ui/SkinResources.h"

#include <QApplication>
#include <QPainter>
#include <cstdio>

namespace {

constexpr int kSheetWidth = 1280;
constexpr int kMargin = 16;
constexpr int kGap = 14;
constexpr int kCaption = 28;

void Checker(QPainter& g, const QRect& r) {
    g.save();
    g.setClipRect(r);
    for (int y = r.top(); y < r.bottom(); y += 8)
        for (int x = r.left(); x < r.right(); x += 8)
            g.fillRect(QRect(x, y, 8, 8), ((x - r.left()) / 8 + (y - r.top()) / 8) % 2
                                              ? QColor(0x9A, 0x9E, 0xA6)
                                              : QColor(0x86, 0x8A, 0x93));
    g.restore();
}

// Lays tiles out in rows; returns the height used. Paints only when g is given.
int Flow(QPainter* g, const QString& heading, const QVector<sheet::Tile>& tiles, int top,
         bool checker) {
    int x = kMargin, y = top + 28, rowHeight = 0;
    if (g) {
        g->setPen(QColor(0x20, 0x22, 0x28));
        QFont f = g->font();
        f.setPixelSize(18);
        f.setBold(true);
        g->setFont(f);
        g->drawText(QPoint(kMargin, top + 20), heading);
    }
    for (const auto& t : tiles) {
        const int w = qMax(t.image.width(), 84);
        if (x + w > kSheetWidth - kMargin && x > kMargin) {
            x = kMargin;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        if (g) {
            const QRect box(x, y, t.image.width(), t.image.height());
            if (checker)
                Checker(*g, box);
            g->drawImage(box.topLeft(), t.image);
            QFont f = g->font();
            f.setPixelSize(11);
            f.setBold(false);
            g->setFont(f);
            g->setPen(QColor(0x30, 0x33, 0x3A));
            g->drawText(QRect(x, y + t.image.height() + 2, w, kCaption),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, t.caption);
        }
        rowHeight = qMax(rowHeight, t.image.height() + kCaption + 2);
        x += w + kGap;
    }
    return y + rowHeight + kGap - top;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin-sheet OUT.png\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    rx::PrivateFontCollection fonts;
    if (!fonts.LoadEmbeddedFont()) {
        std::fprintf(stderr, "skin-sheet: the embedded font did not load\n");
        return 1;
    }
    rx::ui::SetPrivateFonts(&fonts);

    QVector<sheet::Tile> images;
    for (const auto& e : rx::skin::kSkinImages) {
        sheet::Tile t;
        t.caption = QString::fromLatin1(e.name.data(), qsizetype(e.name.size())) +
                    QString("\n%1 x %2").arg(e.width).arg(e.height);
        if (!rx::LoadPngResource(QString::fromLatin1(e.name.data(), qsizetype(e.name.size())),
                                 t.image)) {
            std::fprintf(stderr, "skin-sheet: missing image %s\n", t.caption.toLatin1().data());
            return 1;
        }
        images.append(t);
    }
    QVector<sheet::Tile> icons;
    const QIcon icon = rx::LoadAppIcon();
    for (int size : rx::skin::kIconSizes)
        icons.append({QString("icon %1").arg(size), icon.pixmap(size, size).toImage()});

    struct Section {
        QString heading;
        QVector<sheet::Tile> tiles;
        bool checker;
    };
    const QVector<Section> sections = {
        {"Main window states", sheet::MainWindowScenes(fonts), false},
        {"Controls", sheet::ControlScenes(), false},
        {"Image buttons, picker, colour and link", sheet::ButtonScenes(), false},
        {"Operation panels in each mode", sheet::PanelScenes(), false},
        {"Skin images (on a checkerboard)", images, true},
        {"Application icon", icons, true},
    };
    int height = kMargin;
    for (const auto& s : sections)
        height += Flow(nullptr, s.heading, s.tiles, height, s.checker);
    QImage out(kSheetWidth, height + kMargin, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0xF2, 0xF2, 0xF4));
    {
        QPainter g(&out);
        g.setRenderHint(QPainter::Antialiasing, true);
        int y = kMargin;
        for (const auto& s : sections)
            y += Flow(&g, s.heading, s.tiles, y, s.checker);
    }
    if (!out.convertToFormat(QImage::Format_ARGB32).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "skin-sheet: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
