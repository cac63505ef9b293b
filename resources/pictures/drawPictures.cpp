// drawPictures FOLDER: draws every picture the two programs show into FOLDER (the application folder's
// Resources/), each at single and at double density: see CMakeLists.txt beside this file for the names.

#include "ApplicationIcon.h"
#include "ConstellationPicture.h"
#include "DawnDuskPicture.h"
#include "MoonPicture.h"
#include "PictureSizes.h"
#include "ZodiacSymbolPicture.h"

#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

bool writePicture(const QImage &image, const QString &path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "drawPictures: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

// NAME-SIZE.png and NAME-SIZE@2x.png, or NAME.png and NAME@2x.png when suffix is false. draw(size, scale)
// draws the picture meant to be shown at `size` pixels, `scale` times as dense.
bool writeAtSize(const QDir &folder, const QString &name, int size, bool suffix,
                 const std::function<QImage(int, int)> &draw) {
    const QString base = suffix ? name + QStringLiteral("-%1").arg(size) : name;
    const bool single = writePicture(draw(size, 1), folder.filePath(base + QStringLiteral(".png")));
    const bool twice = writePicture(draw(size, 2), folder.filePath(base + QStringLiteral("@2x.png")));
    return single && twice;
}

// NAME.png and NAME@2x.png at the menu size, NAME-64.png and NAME-64@2x.png at the pane size.
bool writeInAllSizes(const QDir &folder, const QString &name, const std::function<QImage(int, int)> &draw) {
    const bool menu = writeAtSize(folder, name, PictureSizes::menu, false, draw);
    const bool pane = writeAtSize(folder, name, PictureSizes::pane, true, draw);
    return menu && pane;
}

// The moon's light rim, in pixels at single density, for the size it is shown at: one pixel beside a menu
// line, two in the pane, and three in the panel picture, which hosts scale down to half of it or less.
double moonRimWidth(int size) {
    if (size == PictureSizes::panel)
        return 3.0;
    return size >= PictureSizes::pane ? 2.0 : 1.0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawPictures FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "drawPictures: cannot make the folder %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    for (int day = 1; day <= 28; ++day) {
        const auto moon = [day](int size, int scale) {
            return drawMoonPicture(day, size * scale, moonRimWidth(size) * scale);
        };
        const QString name = QStringLiteral("moon%1").arg(day);
        ok = writeInAllSizes(folder, name, moon) && ok;
        ok = writeAtSize(folder, name, PictureSizes::panel, true, moon) && ok;
    }
    for (int sign = 1; sign <= 12; ++sign) {
        ok = writeInAllSizes(
                 folder, QStringLiteral("zodiacSymbol%1").arg(sign),
                 [sign](int size, int scale) { return drawZodiacSymbolPicture(sign, size * scale); }) &&
             ok;
        ok = writeInAllSizes(
                 folder, QStringLiteral("zodiacStars%1").arg(sign),
                 [sign](int size, int scale) { return drawConstellationPicture(sign, size * scale); }) &&
             ok;
    }
    ok = writePicture(drawApplicationIcon(PictureSizes::icon),
                      folder.filePath(QStringLiteral("tindral_icon.png"))) &&
         ok;
    ok = writePicture(drawApplicationIcon(2 * PictureSizes::icon),
                      folder.filePath(QStringLiteral("tindral_icon@2x.png"))) &&
         ok;
    ok = writePicture(drawDawnDuskPicture(PictureSizes::pane),
                      folder.filePath(QStringLiteral("dawnDusk-64.png"))) &&
         ok;
    ok = writePicture(drawDawnDuskPicture(2 * PictureSizes::pane),
                      folder.filePath(QStringLiteral("dawnDusk-64@2x.png"))) &&
         ok;
    return ok ? 0 : 1;
}
