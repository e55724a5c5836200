#include "SheetScenes.h"
#include "engine/Version.h"

#include "ui/CColorButton.h"
#include "ui/CImageCheckbox.h"
#include "ui/CImageMenuButton.h"
#include "ui/CImagePicker.h"
#include "ui/CImageStatic.h"
#include "ui/CLabel.h"
#include "ui/CRXAngleCtrl.h"
#include "ui/CRXPositionCtrl.h"
#include "ui/CRXProgressCtrl.h"
#include "ui/CRXSliderCtrl.h"
#include "ui/CSimpleImageButton.h"
#include "ui/CToggleButton.h"
#include "ui/PrivateFontCollection.h"
#include "ui/RXLinkCtrl.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"

#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <memory>

namespace sheet {

namespace {

QImage Skin(const QString& name) {
    QImage img;
    rx::LoadPngResource(name, img);
    return img;
}

QFont UiFont() {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    return f;
}

// A host window that paints a background: a tiled image or a colour.
class Host : public QWidget {
public:
    Host(QSize size, QBrush brush) : m_brush(std::move(brush)) {
        resize(size);
        setFont(UiFont());
    }
    QImage Shot() {
        QApplication::processEvents();
        QImage out(size(), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        render(&out);
        return out;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        g.fillRect(rect(), m_brush);
    }

private:
    QBrush m_brush;
};

QBrush Paper() {
    return QBrush(Skin(QStringLiteral("SETTINGS")));
}
QBrush Field() {
    return QBrush(Skin(QStringLiteral("BGCENTER")));
}
QBrush Band() {
    return QBrush(Skin(QStringLiteral("PREVIEWTOP")));
}

QString SampleImage() {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.png"));
    if (!QFile::exists(path)) {
        QImage img(200, 120, QImage::Format_RGB32);
        QPainter g(&img);
        QLinearGradient sky(0, 0, 0, 120);
        sky.setColorAt(0, QColor(0x6C, 0xA8, 0xF0));
        sky.setColorAt(1, QColor(0xF6, 0xC9, 0x8E));
        g.fillRect(img.rect(), sky);
        g.setBrush(QColor(0x2E, 0x5E, 0x4E));
        g.setPen(Qt::NoPen);
        g.drawPolygon(QPolygon(
            {QPoint(0, 120), QPoint(70, 50), QPoint(120, 95), QPoint(150, 70), QPoint(200, 120)}));
        g.setBrush(QColor(0xFF, 0xE0, 0x80));
        g.drawEllipse(QPoint(150, 30), 14, 14);
        g.end();
        img.save(path);
    }
    return path;
}

} // namespace

QVector<Tile> ControlScenes() {
    QVector<Tile> tiles;
    for (int v : {1, 3, 5}) {
        Host h(QSize(200, 34), Paper());
        auto* s = new rx::CRXSliderCtrl(&h);
        s->setGeometry(4, 2, 192, 30);
        s->setRange(1, 5);
        s->setTickInterval(1);
        s->SetTicksBelow(true);
        s->setValue(v);
        tiles.append({QString("slider 1..5 at %1").arg(v), h.Shot()});
    }
    {
        Host h(QSize(200, 30), Paper());
        auto* s = new rx::CRXSliderCtrl(&h);
        s->setGeometry(4, 2, 192, 25);
        s->setRange(0, 100);
        s->setValue(37);
        s->setEnabled(false);
        tiles.append({"slider disabled", h.Shot()});
    }
    for (int a : {0, 90, 225}) {
        Host h(QSize(95, 95), Paper());
        auto* d = new rx::CRXAngleCtrl;
        d->CreateAngle(QRect(0, 0, 95, 95), &h);
        d->SetAngle(a);
        tiles.append({QString("dial %1").arg(a), h.Shot()});
    }
    for (QPoint p : {QPoint(11, 11), QPoint(47, 47), QPoint(84, 84)}) {
        Host h(QSize(95, 95), Paper());
        auto* pad = new rx::CRXPositionCtrl;
        pad->CreatePad(QRect(0, 0, 95, 95), &h);
        pad->SetPoint(p.x(), p.y());
        tiles.append({QString("pad %1,%2").arg(p.x()).arg(p.y()), h.Shot()});
    }
    for (bool on : {false, true}) {
        Host h(QSize(61, 26), Paper());
        auto* sw = new rx::CToggleButton;
        sw->CreateSwitch(QRect(5, 4, 51, 18), &h, 1230);
        sw->LoadState(on);
        for (int i = 0; i < 20 && sw->IsAnimating(); ++i) {
            QTimerEvent tick(sw->AnimationTimer());
            QCoreApplication::sendEvent(sw, &tick);
        }
        tiles.append({on ? "switch on" : "switch off", h.Shot()});
    }
    for (int v : {0, 40, 100}) {
        Host h(QSize(355, 37), Field());
        auto* bar = new rx::CRXProgressCtrl(&h);
        bar->SetTrackImage(Skin("PROGRESS"));
        bar->setGeometry(0, 0, 355, 37);
        bar->setRange(0, 100);
        bar->setValue(v);
        tiles.append({QString("progress %1%").arg(v), h.Shot()});
    }
    {
        Host h(QSize(220, 40), Paper());
        auto* l = new rx::CLabel(&h);
        l->setGeometry(5, 5, 210, 30);
        l->setText(QString("Version %1").arg(rx::kVersion));
        l->Attach();
        l->UseTransparentBackground(true).UseFontFace("Lucida Sans Unicode").UseFontPoints(10);
        l->UseTextColour(Qt::black).UseBold(true);
        tiles.append({"label (about box style)", h.Shot()});
    }
    return tiles;
}

QVector<Tile> ButtonScenes() {
    QVector<Tile> tiles;
    struct Set {
        const char* base;
        const char* caption;
        QBrush background;
    };
    const Set sets[] = {
        {"BLUE", "Clear", Field()},
        {"GREEN", "START", Field()},
        {"RED", "Cancel", Field()},
        {"WATERMARK", "", QBrush(Skin("BGBUTTONS"))},
        {"RESIZE", "", QBrush(Skin("BGBUTTONS"))},
        {"OPTIMIZE", "", QBrush(Skin("BGBUTTONS"))},
        {"RENAME", "", QBrush(Skin("BGBUTTONS"))},
        {"PREVIEW", "", QBrush(Skin("BGBUTTONS"))},
        {"MAINMENU", "", QBrush(Skin("BGTOP"))},
        {"CLOSE", "", QBrush(Skin("BGTOP"))},
        {"MINIMIZE", "", QBrush(Skin("BGTOP"))},
        {"PREV", "", Band()},
        {"NEXT", "", Band()},
        {"PRCLOSE", "", Band()},
        {"PRMIN", "", Band()},
        {"LOCK", "", Band()},
        {"WMLOCK", "", Paper()},
        {"UNDERLINE", "", Paper()},
    };
    for (const Set& s : sets) {
        for (int state = 0; state < 3; ++state) {
            auto* probe = new rx::CSimpleImageButton;
            if (!probe->Load(s.base)) {
                delete probe;
                continue;
            }
            const QImage up = probe->Up();
            delete probe;
            Host h(up.size() + QSize(8, 8), s.background);
            auto* b = new rx::CSimpleImageButton;
            b->CreateSimpleImageButton(s.caption, &h, QPoint(4, 4), s.base, true, 0);
            if (state == 1)
                b->setDown(true);
            if (state == 2)
                b->setEnabled(false);
            tiles.append({QString("%1 %2").arg(s.base).arg("UDX"[state]), h.Shot()});
        }
    }
    for (int variant = 0; variant < 3; ++variant) {
        Host h(QSize(121, 103), Paper());
        auto* picker = new rx::CImagePicker;
        picker->CreatePicker(QRect(4, 4, 113, 95), &h);
        if (variant > 0)
            picker->LoadImageFile(SampleImage(), false);
        if (variant == 2) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QCoreApplication::sendEvent(picker, &enter);
        }
        const char* names[] = {"picker empty", "picker with image", "picker hovered"};
        tiles.append({names[variant], h.Shot()});
    }
    {
        Host h(QSize(45, 28), Paper());
        auto* c = new rx::CColorButton;
        c->setParent(&h);
        c->setGeometry(5, 4, 35, 20);
        c->SetColor(QColor(0xDB, 0x3F, 0x7A));
        tiles.append({"colour button", h.Shot()});
    }
    {
        Host h(QSize(160, 30), Field());
        auto* link = new rx::RXLinkCtrl;
        link->setParent(&h);
        link->setFont(UiFont());
        link->setText("Show in Folder");
        link->SizeToContent(QRect(0, 0, 160, 30));
        tiles.append({"link", h.Shot()});
    }
    return tiles;
}

} // namespace sheet
