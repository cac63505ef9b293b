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

// NAME.png and NAME@2x.png at the menu size, NAME-64.png and NAME-64@2x.png at the pane size.
bool writeInAllSizes(const QDir &folder, const QString &name, const std::function<QImage(int)> &draw) {
    bool ok = true;
    for (const auto &[suffix, size] :
         {std::pair{QString(), PictureSizes::menu}, std::pair{QStringLiteral("@2x"), 2 * PictureSizes::menu},
          std::pair{QStringLiteral("-%1").arg(PictureSizes::pane), PictureSizes::pane},
          std::pair{QStringLiteral("-%1@2x").arg(PictureSizes::pane), 2 * PictureSizes::pane}}) {
        ok = writePicture(draw(size), folder.filePath(name + suffix + QStringLiteral(".png"))) && ok;
    }
    return ok;
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
    for (int day = 1; day <= 28; ++day)
        ok = writeInAllSizes(folder, QStringLiteral("moon%1").arg(day),
                             [day](int size) { return drawMoonPicture(day, size); }) &&
             ok;
    for (int sign = 1; sign <= 12; ++sign) {
        ok = writeInAllSizes(folder, QStringLiteral("zodiacSymbol%1").arg(sign),
                             [sign](int size) { return drawZodiacSymbolPicture(sign, size); }) &&
             ok;
        ok = writeInAllSizes(folder, QStringLiteral("zodiacStars%1").arg(sign),
                             [sign](int size) { return drawConstellationPicture(sign, size); }) &&
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
