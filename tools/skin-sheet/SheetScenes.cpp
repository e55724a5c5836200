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

const rx::PrivateFontCollection& Fonts() {
    static rx::PrivateFontCollection fonts = [] {
        rx::PrivateFontCollection f;
        f.LoadEmbeddedFont();
        return f;
    }();
    return fonts;
}

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

enum class State { Empty, FilesAdded, Processing, Success };

// The main window's own painting: backgrounds and the drop zone lettering.
class MainWindowMock : public QWidget {
public:
    MainWindowMock(State state, int panelsHeight) : m_state(state) {
        resize(395, 260 + panelsHeight);
        setFont(UiFont());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        g.setRenderHint(QPainter::Antialiasing, true);
        const int T = 38, M = 177;
        rx::DrawImageAt(g, Skin("BGTOP"), 0, 0);
        rx::DrawImageAt(g, Skin(m_state == State::Empty ? "BGBASKET" : "BGCENTER"), 0, T);
        rx::TextPainter text(0xFFFFFFFF);
        text.SetFamilyName(QStringLiteral("Pacifico"));
        text.SetCollection(&Fonts());
        auto centred = [&](const QString& s, int y, int size) {
            text.Draw(g, s, size, rx::TextPainter::FromEdges(0, y - size, 395, y + size));
        };
        switch (m_state) {
        case State::Empty:
            centred(QStringLiteral("Drop images here"), T + M - 25, 20);
            break;
        case State::FilesAdded:
            centred(QStringLiteral("12 files added"), T + 65, 30);
            break;
        case State::Processing:
            centred(QStringLiteral("3 of 12 files"), T + 50, 20);
            text.SetHorizontalAlignment(rx::StringAlignment::Near);
            text.Draw(g, QStringLiteral("Processing.."), 20,
                      rx::TextPainter::FromEdges(140, T, 395, T + 40));
            break;
        case State::Success:
            centred(QStringLiteral("Success! 12 files processed."), T + 65, 30);
            break;
        }
        rx::DrawImageAt(g, Skin("BGBUTTONS"), 0, T + M);
        const QImage bottom = Skin("BGBOTTOM");
        rx::DrawImageAt(g, bottom, 0, height() - bottom.height());
    }

private:
    State m_state;
};

// A settings panel: the paper, the frame and the caption in script lettering.
class PanelMock : public QWidget {
public:
    PanelMock(QWidget* parent, int y, int height, QString caption)
        : QWidget(parent), m_caption(std::move(caption)) {
        setGeometry(0, y, 395, height);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter g(this);
        g.fillRect(rect(), Paper());
        g.setPen(QColor::fromRgba(0xFF777777));
        g.drawRect(0, -1, width() - 1, height());
        rx::TextPainter text(0xFF000000);
        text.SetFamilyName(QStringLiteral("Pacifico"));
        text.SetCollection(&Fonts());
        text.SetHorizontalAlignment(rx::StringAlignment::Far);
        text.Draw(g, m_caption, 20, rx::TextPainter::FromEdges(0, 5, 375, 45));
    }

private:
    QString m_caption;
};

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

void TitleControls(QWidget* w) {
    (new rx::CImageMenuButton)->CreateMenuButton(w, QPoint(0, 1));
    (new rx::CSimpleImageButton)
        ->CreateSimpleImageButton("", w, QPoint(350, 12), "MINIMIZE", true, 1130);
    (new rx::CSimpleImageButton)
        ->CreateSimpleImageButton("", w, QPoint(370, 12), "CLOSE", true, 57665);
}

void Toggles(QWidget* w, std::initializer_list<bool> checked, bool enabled, bool preview) {
    const char* names[] = {"WATERMARK", "RESIZE", "OPTIMIZE", "RENAME"};
    int x = 12, i = 0;
    for (bool c : checked) {
        auto* t = new rx::CImageCheckbox;
        t->CreateImageCheckbox(w, QPoint(x, 221), names[i], 1110 + i);
        t->setChecked(c);
        t->setEnabled(enabled);
        x += t->Up().width() + 2;
        ++i;
    }
    auto* p = new rx::CImageCheckbox;
    p->CreateImageCheckbox(w, QPoint(351, 220), "PREVIEW", 1119);
    p->setEnabled(preview);
}

rx::CSimpleImageButton* Coloured(QWidget* w, const char* base, const char* caption, int x) {
    auto* b = new rx::CSimpleImageButton;
    b->CreateSimpleImageButton(caption, w, QPoint(x, 166), base, true, 0);
    return b;
}

void WatermarkPanel(QWidget* w, int y) {
    auto* panel = new PanelMock(w, y, 205, QStringLiteral("Watermark"));
    auto* mode = new QComboBox(panel);
    mode->addItems({"Text", "Image", "Script", "Datestamp"});
    mode->setCurrentIndex(1);
    mode->setGeometry(20, 15, 115, 22);
    auto* picker = new rx::CImagePicker;
    picker->CreatePicker(QRect(20, 55, 113, 95), panel);
    picker->LoadImageFile(SampleImage(), false);
    auto label = [&](const QString& t, QRect r, unsigned style) {
        auto* l = new rx::CLabel(panel);
        l->setGeometry(r);
        l->setText(t);
        l->SetStaticStyle(style);
        l->Attach();
        l->UseTransparentBackground(true);
    };
    label("width:", QRect(137, 70, 43, 20), rx::SS_RIGHT | rx::SS_CENTERIMAGE);
    label("height:", QRect(137, 110, 43, 20), rx::SS_RIGHT | rx::SS_CENTERIMAGE);
    label("px", QRect(232, 70, 18, 20), rx::SS_CENTERIMAGE);
    label("px", QRect(232, 110, 18, 20), rx::SS_CENTERIMAGE);
    label("opacity", QRect(20, 167, 40, 23), rx::SS_CENTERIMAGE);
    auto* width = new QLineEdit(QStringLiteral("200"), panel);
    width->setGeometry(182, 70, 48, 20);
    auto* height = new QLineEdit(QStringLiteral("120"), panel);
    height->setGeometry(182, 110, 48, 20);
    auto* lock = new rx::CImageCheckbox;
    lock->CreateImageCheckbox(panel, QPoint(250, 95), "WMLOCK", 1216);
    lock->setChecked(true);
    auto* slider = new rx::CRXSliderCtrl(panel);
    slider->setGeometry(60, 165, 160, 25);
    slider->setRange(0, 100);
    slider->setValue(70);
    auto* alpha = new QLineEdit(QStringLiteral("70"), panel);
    alpha->setGeometry(225, 167, 33, 20);
    (new rx::CImageStatic)->Create("MOVE", QRect(280, 170, 13, 13), panel);
    (new rx::CImageStatic)->Create("ROTATE", QRect(357, 170, 13, 13), panel);
    auto* sw = new rx::CToggleButton;
    sw->CreateSwitch(QRect(300, 167, 51, 18), panel, 1209);
    auto* pad = new rx::CRXPositionCtrl;
    pad->CreatePad(QRect(280, 55, 95, 95), panel);
    pad->SetPoint(62, 40);
}

void OptimizePanel(QWidget* w, int y) {
    auto* panel = new PanelMock(w, y, 96, QStringLiteral("Optimize"));
    auto* mode = new QComboBox(panel);
    mode->addItem("Optimize both JPEGs and PNGs");
    mode->setGeometry(20, 15, 215, 22);
    auto* slider = new rx::CRXSliderCtrl(panel);
    slider->setGeometry(20, 45, 355, 30);
    slider->setRange(1, 5);
    slider->setTickInterval(1);
    slider->SetTicksBelow(true);
    slider->setValue(3);
    const char* words[] = {"min", "opt", "max"};
    for (int i = 0; i < 3; ++i) {
        const int p = slider->GetTicPos(1 + 2 * i);
        auto* l = new rx::CLabel(panel);
        l->setGeometry(20 + p - 30, 75, 60, 20);
        l->setText(words[i]);
        l->SetStaticStyle(rx::SS_CENTER);
        l->UseTransparentBackground(true);
    }
}

QImage MainWindow(State state) {
    const bool panels = state == State::FilesAdded;
    MainWindowMock w(state, panels ? 205 + 96 : 0);
    TitleControls(&w);
    switch (state) {
    case State::Empty:
        Toggles(&w, {false, false, false, false}, true, false);
        break;
    case State::FilesAdded:
        Toggles(&w, {true, false, true, false}, true, true);
        Coloured(&w, "GREEN", "START", 290);
        Coloured(&w, "BLUE", "Clear", 195);
        WatermarkPanel(&w, 252);
        OptimizePanel(&w, 252 + 205);
        break;
    case State::Processing: {
        Toggles(&w, {false, true, false, true}, false, false);
        Coloured(&w, "RED", "Cancel", 290);
        auto* bar = new rx::CRXProgressCtrl(&w);
        bar->SetTrackImage(Skin("PROGRESS"));
        bar->setGeometry(20, 115, 355, 37);
        bar->setRange(0, 100);
        bar->setValue(40);
        break;
    }
    case State::Success: {
        Toggles(&w, {false, true, false, true}, true, false);
        Coloured(&w, "BLUE", "Clear", 290);
        Coloured(&w, "GREEN", "Save preset", 195);
        auto* link = new rx::RXLinkCtrl;
        link->setParent(&w);
        link->setFont(UiFont());
        link->setText("Show in Folder");
        link->SizeToContent(QRect(100, 125, 195, 25));
        break;
    }
    }
    QApplication::processEvents();
    QImage out(w.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    w.render(&out);
    return out;
}

} // namespace

QVector<Tile> MainWindowScenes() {
    return {{"Empty", MainWindow(State::Empty)},
            {"FilesAdded, Watermark and Optimize on", MainWindow(State::FilesAdded)},
            {"Processing", MainWindow(State::Processing)},
            {"Success", MainWindow(State::Success)}};
}

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
