#include "ui/SkinResources.h"

#include "resources/SkinTable.h"

#include <QFile>
#include <QPainter>

static void InitSkinResourcesOnce() {
    Q_INIT_RESOURCE(rx_skin);
}

namespace rx {

void InitSkinResources() {
    static const bool done = (InitSkinResourcesOnce(), true);
    (void)done;
}

bool LoadPngResource(const QString& name, QImage& slot) {
    InitSkinResources();
    const QString path =
        QString::fromLatin1(skin::kImagePrefix.data(), qsizetype(skin::kImagePrefix.size())) +
        name + QStringLiteral(".png");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return !slot.isNull();
    QImage image;
    if (!image.loadFromData(file.readAll(), "PNG")) {
        slot = QImage();
        return false;
    }
    slot = std::move(image);
    return true;
}

QIcon LoadAppIcon() {
    InitSkinResources();
    QIcon icon;
    const QString prefix =
        QString::fromLatin1(skin::kIconPrefix.data(), qsizetype(skin::kIconPrefix.size()));
    for (int size : skin::kIconSizes)
        icon.addFile(prefix + QString::number(size) + QStringLiteral(".png"), QSize(size, size));
    return icon;
}

void DrawImageAt(QPainter& g, const QImage& image, qreal x, qreal y) {
    g.drawImage(QRectF(x, y, image.width(), image.height()), image);
}

void DrawImageIn(QPainter& g, const QImage& image, const QRectF& rect) {
    g.drawImage(rect, image, ImageRect(image));
}

QRectF ImageRect(const QImage& image) {
    return QRectF(0, 0, image.width(), image.height());
}

} // namespace rx
