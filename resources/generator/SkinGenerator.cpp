// skin-generator OUTDIR SCRIPT.ttf NARROWBOLD.ttf SANS.ttf
// Paints every image of the skin table and the application icon and writes them as PNG
// files: OUTDIR/skin/NAME.png and OUTDIR/icons/rexmill-SIZE.png. The output depends only
// on the fonts given, so it is byte-identical from run to run.
#include "ArtKit.h"
#include "Painters.h"
#include "resources/SkinTable.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>

namespace {

QString LoadFamily(const char* path) {
    const int id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(path));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        std::fprintf(stderr, "skin-generator: cannot load the font %s\n", path);
        return {};
    }
    return families.front();
}

QImage Paint(const QString& name, int w, int h) {
    QImage img = art::PaintBackground(name, w, h);
    if (img.isNull())
        img = art::PaintButton(name, w, h);
    if (img.isNull())
        img = art::PaintControlPiece(name, w, h);
    return img;
}

bool Write(const QImage& image, const QString& path) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    out.setDotsPerMeterX(3780);
    out.setDotsPerMeterY(3780);
    QImageWriter writer(path, "png");
    writer.setCompression(100); // Qt's PNG writer takes 0 (none) to 100 (strongest)
    if (!writer.write(out)) {
        std::fprintf(stderr, "skin-generator: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: skin-generator OUTDIR SCRIPT.ttf NARROWBOLD.ttf SANS.ttf\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    art::Fonts fonts{LoadFamily(argv[2]), LoadFamily(argv[3]), LoadFamily(argv[4])};
    if (fonts.script.isEmpty() || fonts.narrowBold.isEmpty() || fonts.sans.isEmpty())
        return 1;
    art::SetFonts(fonts);

    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath("skin") || !out.mkpath("icons")) {
        std::fprintf(stderr, "skin-generator: cannot create folders in %s\n", argv[1]);
        return 1;
    }
    for (const auto& entry : rx::skin::kSkinImages) {
        const QString name = QString::fromLatin1(entry.name.data(), qsizetype(entry.name.size()));
        const QImage img = Paint(name, entry.width, entry.height);
        if (img.isNull() || img.width() != entry.width || img.height() != entry.height) {
            std::fprintf(stderr, "skin-generator: no painter for %s\n", qPrintable(name));
            return 1;
        }
        if (!Write(img, out.filePath("skin/" + name + ".png")))
            return 1;
    }
    for (int size : rx::skin::kIconSizes) {
        if (!Write(art::PaintAppIcon(size),
                   out.filePath(QString("icons/rexmill-%1.png").arg(size))))
            return 1;
    }
    return 0;
}
