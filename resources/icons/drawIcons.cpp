// drawIcons FOLDER NAME SIZE...: draws Tindral's icon into FOLDER/hicolor/SIZExSIZE/apps/NAME.png for each
// SIZE, the icon theme's layout, for installing.

#include "ApplicationIcon.h"

#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: drawIcons FOLDER NAME SIZE...\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size < 1 || size > 1024) {
            std::fprintf(stderr, "drawIcons: '%s' is not a size from 1 to 1024\n", argv[i]);
            return 2;
        }
        const QString subfolder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString path = folder.filePath(subfolder + QLatin1Char('/') + name + QStringLiteral(".png"));
        QSaveFile file(path);
        if (!folder.mkpath(subfolder) || !file.open(QIODevice::WriteOnly) ||
            !drawApplicationIcon(size).save(&file, "PNG") || !file.commit()) {
            std::fprintf(stderr, "drawIcons: cannot write %s: %s\n", qPrintable(path),
                         qPrintable(file.errorString()));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
