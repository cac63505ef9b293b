// The pictures drawn at build time into the application folder's Resources/: what can be checked without
// eyes. The test also writes contact sheets of all of them beside its build folder, to be looked at:
// tst_Pictures.sheet.png (everything) and tst_Pictures.sheet-moon.png, -zodiacSymbol.png, -zodiacStars.png.
// Each cell shows one picture: 18 px on light and on dark, 36 px on light and on dark, 64 px, 128 px, and the
// 18 px picture enlarged four times without smoothing.

#include <QBitArray>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {

const QString kResources = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/");
const QString kSheetFolder = QStringLiteral(TINDRAL_BUILD_DIR "/tests/resources/");

struct Variant {
    const char *suffix;
    int size;
};
// The four files of each picture name; the moon has two more, the picture a status host scales to its panel.
constexpr Variant kVariants[] = {{"", 18}, {"@2x", 36}, {"-64", 64}, {"-64@2x", 128}};
constexpr Variant kMoonVariants[] = {{"", 18},        {"@2x", 36}, {"-64", 64},
                                     {"-64@2x", 128}, {"-48", 48}, {"-48@2x", 96}};

QImage load(const QString &fileName) {
    return QImage(kResources + fileName).convertToFormat(QImage::Format_ARGB32);
}

double luminance(QRgb p) {
    return 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
}

struct MoonCounts {
    int disc = 0;
    int lit = 0;
    int litLeft = 0;
    int litRight = 0;
    // The light of each half: the sum of its pixels' luminance. Unlike the counts, it also follows changes
    // smaller than a pixel, such as the last sliver of shadow on day 14 at 18 px.
    double lightLeft = 0;
    double lightRight = 0;
    double litFraction() const { return disc ? double(lit) / disc : 0; }
    double light() const { return lightLeft + lightRight; }
};

// A pixel belongs to the disc when it is mostly opaque, and is lit when it is clearly brighter than the
// dark side and warm, as sunlit ground is: the rim of the dark side is as bright, but cool.
MoonCounts countMoon(const QImage &image) {
    MoonCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const bool left = x < image.width() / 2;
            (left ? counts.lightLeft : counts.lightRight) += luminance(p) * qAlpha(p) / 255;
            if (qAlpha(p) < 128)
                continue;
            ++counts.disc;
            if (luminance(p) > 120 && qRed(p) > qBlue(p) + 8) {
                ++counts.lit;
                ++(left ? counts.litLeft : counts.litRight);
            }
        }
    }
    return counts;
}

// The sunlit share of the moon's face on a lunar day of a 28-day cycle that starts new on day 1.
double illuminatedFraction(int lunarDay) {
    return (1 - std::cos(2 * std::numbers::pi * (lunarDay - 1) / 28)) / 2;
}

// Gold ink of a sign's figure.
QBitArray inkMask(const QImage &image) {
    QBitArray mask(int(image.sizeInBytes() / 4));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            mask.setBit(y * image.width() + x,
                        qAlpha(p) > 128 && qRed(p) > 170 && qGreen(p) > 120 && qBlue(p) < 150);
        }
    return mask;
}

// Stars and lines of a constellation: anything clearly brighter than the night sky.
QBitArray brightMask(const QImage &image) {
    QBitArray mask(int(image.sizeInBytes() / 4));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.setBit(y * image.width() + x, luminance(image.pixel(x, y)) > 90);
    return mask;
}

// Intersection over union: 1 for the same shape, 0 for shapes that do not touch.
double overlap(const QBitArray &a, const QBitArray &b) {
    const qsizetype both = (a & b).count(true);
    const qsizetype either = (a | b).count(true);
    return either ? double(both) / double(either) : 1.0;
}

// The first pair of pictures whose masks overlap by limit or more, as text; empty when every pair differs
// enough. The pictures are those of signs 1, 2, ... in order.
QString firstSimilarPair(const QList<QBitArray> &masks, double limit) {
    for (qsizetype a = 0; a < masks.size(); ++a)
        for (qsizetype b = a + 1; b < masks.size(); ++b)
            if (overlap(masks[a], masks[b]) >= limit)
                return QStringLiteral("signs %1 and %2 overlap %3")
                    .arg(a + 1)
                    .arg(b + 1)
                    .arg(overlap(masks[a], masks[b]));
    return {};
}

QString variantName(const QString &name, const Variant &variant) {
    return name + QLatin1String(variant.suffix) + QStringLiteral(".png");
}

QStringList namesOf(const QString &stem, int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << stem + QString::number(i);
    return names;
}

// One cell of a contact sheet: see the comment at the top.
constexpr int kGap = 4;
constexpr int kCellWidth =
    kGap + 18 + kGap + 18 + kGap + 36 + kGap + 36 + kGap + 64 + kGap + 128 + kGap + 72 + kGap;
constexpr int kCellHeight = 128 + 2 * kGap;
const QColor kLight(236, 236, 236);
const QColor kDark(45, 45, 48);
const QColor kMiddle(150, 150, 155);

void drawCell(QPainter &painter, QPoint origin, const QString &name) {
    int x = origin.x() + kGap;
    const int y = origin.y() + kGap;
    auto place = [&](const QImage &image, const QColor &background, int size) {
        painter.fillRect(QRect(x - 2, y - 2, size + 4, size + 4), background);
        painter.drawImage(QRect(x, y, size, size), image);
        x += size + kGap;
    };
    const QImage small = load(name + QStringLiteral(".png"));
    const QImage twice = load(name + QStringLiteral("@2x.png"));
    place(small, kLight, 18);
    place(small, kDark, 18);
    place(twice, kLight, 36);
    place(twice, kDark, 36);
    place(load(name + QStringLiteral("-64.png")), kMiddle, 64);
    place(load(name + QStringLiteral("-64@2x.png")), kMiddle, 128);
    place(small.scaled(72, 72, Qt::IgnoreAspectRatio, Qt::FastTransformation), kLight, 72);
}

QImage contactSheet(const QStringList &names, int columns) {
    const int rows = int((names.size() + columns - 1) / columns);
    QImage sheet(columns * kCellWidth, rows * kCellHeight, QImage::Format_ARGB32);
    sheet.fill(QColor(200, 200, 204));
    QPainter painter(&sheet);
    for (int i = 0; i < names.size(); ++i)
        drawCell(painter, QPoint(i % columns * kCellWidth, i / columns * kCellHeight), names[i]);
    return sheet;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Any warning is a failure; patterns last for one test function, so set them anew for each.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void everyPictureIsThereInEverySize_data();
    void everyPictureIsThereInEverySize();
    void moonIsLitAsTheSunStands_data();
    void moonIsLitAsTheSunStands();
    void moonGrowsToFullAndWanesBack_data();
    void moonGrowsToFullAndWanesBack();
    void zodiacSymbolsDifferPairwise_data() { sizes(); }
    void zodiacSymbolsDifferPairwise();
    void zodiacSymbolsAreBoldAtMenuSize_data();
    void zodiacSymbolsAreBoldAtMenuSize();
    void constellationsDifferPairwise_data() { sizes(); }
    void constellationsDifferPairwise();
    void writeContactSheets();

private:
    static void sizes();
};

void TestPictures::sizes() {
    QTest::addColumn<int>("variant");
    for (int i = 0; i < 4; ++i)
        QTest::addRow("%d px", kVariants[i].size) << i;
}

void TestPictures::everyPictureIsThereInEverySize_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("size");
    QStringList names = namesOf(QStringLiteral("moon"), 28) + namesOf(QStringLiteral("zodiacSymbol"), 12) +
                        namesOf(QStringLiteral("zodiacStars"), 12);
    for (const QString &name : names)
        for (const Variant &variant : kVariants) {
            const QString fileName = variantName(name, variant);
            QTest::newRow(qPrintable(fileName)) << fileName << variant.size;
        }
    for (const QString &name : namesOf(QStringLiteral("moon"), 28))
        for (const Variant &variant : {Variant{"-48", 48}, Variant{"-48@2x", 96}}) {
            const QString fileName = variantName(name, variant);
            QTest::newRow(qPrintable(fileName)) << fileName << variant.size;
        }
    QTest::newRow("dawnDusk-64.png") << QStringLiteral("dawnDusk-64.png") << 64;
    QTest::newRow("dawnDusk-64@2x.png") << QStringLiteral("dawnDusk-64@2x.png") << 128;
    QTest::newRow("tindral_icon.png") << QStringLiteral("tindral_icon.png") << 128;
    QTest::newRow("tindral_icon@2x.png") << QStringLiteral("tindral_icon@2x.png") << 256;
}

void TestPictures::everyPictureIsThereInEverySize() {
    QFETCH(QString, fileName);
    QFETCH(int, size);
    QVERIFY2(QFileInfo::exists(kResources + fileName), qPrintable(kResources + fileName));
    const QImage image = load(fileName);
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // Every picture is round or has rounded corners, and is drawn on in the middle.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) > 200);
}

void TestPictures::moonIsLitAsTheSunStands_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("variant");
    QTest::addColumn<double>("tolerance"); // of the lit fraction
    for (int v = 0; v < int(std::size(kMoonVariants)); ++v)
        for (int day = 1; day <= 28; ++day)
            QTest::addRow("day %d at %d px", day, kMoonVariants[v].size)
                << day << v << (kMoonVariants[v].size < 64 ? 0.05 : 0.02);
}

// The lit share of the disc follows the phase, and the light is on the right while the moon waxes (days 2 to
// 14) and on the left while it wanes (days 16 to 28).
void TestPictures::moonIsLitAsTheSunStands() {
    QFETCH(int, day);
    QFETCH(int, variant);
    QFETCH(double, tolerance);
    const MoonCounts counts =
        countMoon(load(variantName(QStringLiteral("moon%1").arg(day), kMoonVariants[variant])));
    const int size = kMoonVariants[variant].size;
    // The disc fills the picture: pi/4 of it, less the half pixel it keeps clear of the edge.
    QVERIFY2(counts.disc > 0.65 * size * size, qPrintable(QString::number(counts.disc)));
    QVERIFY2(
        std::abs(counts.litFraction() - illuminatedFraction(day)) <= tolerance,
        qPrintable(
            QStringLiteral("lit %1, expected %2").arg(counts.litFraction()).arg(illuminatedFraction(day))));
    if (day == 1)
        QCOMPARE(counts.lit, 0);
    if (day == 15)
        QVERIFY(counts.litFraction() > 0.97);
    // How far each half is lit, from 0 as at the new moon to 1 as at the full moon of the same size.
    // Measured so, the maria, which are not spread evenly, do not count; and a sliver smaller than a pixel
    // still does.
    const MoonCounts none = countMoon(load(variantName(QStringLiteral("moon1"), kMoonVariants[variant])));
    const MoonCounts full = countMoon(load(variantName(QStringLiteral("moon15"), kMoonVariants[variant])));
    const double left = (counts.lightLeft - none.lightLeft) / (full.lightLeft - none.lightLeft);
    const double right = (counts.lightRight - none.lightRight) / (full.lightRight - none.lightRight);
    const QByteArray halves = QStringLiteral("left half lit %1, right half %2").arg(left).arg(right).toUtf8();
    if (day >= 2 && day <= 14)
        QVERIFY2(right > left, halves.constData());
    if (day >= 16)
        QVERIFY2(left > right, halves.constData());
    // A crescent lies wholly on its side of the disc.
    if ((day >= 2 && day <= 7) || day >= 23)
        QCOMPARE(std::min(counts.litLeft, counts.litRight), 0);
}

void TestPictures::moonGrowsToFullAndWanesBack_data() {
    QTest::addColumn<int>("variant");
    for (int v = 0; v < int(std::size(kMoonVariants)); ++v)
        QTest::addRow("%d px", kMoonVariants[v].size) << v;
}

void TestPictures::moonGrowsToFullAndWanesBack() {
    QFETCH(int, variant);
    double previous = -1;
    for (int day = 1; day <= 15; ++day) {
        const double lit =
            countMoon(load(variantName(QStringLiteral("moon%1").arg(day), kMoonVariants[variant]))).light();
        QVERIFY2(lit > previous,
                 qPrintable(QStringLiteral("day %1: %2 after %3").arg(day).arg(lit).arg(previous)));
        previous = lit;
    }
    for (int day = 16; day <= 28; ++day) {
        const double lit =
            countMoon(load(variantName(QStringLiteral("moon%1").arg(day), kMoonVariants[variant]))).light();
        QVERIFY2(lit < previous,
                 qPrintable(QStringLiteral("day %1: %2 after %3").arg(day).arg(lit).arg(previous)));
        previous = lit;
    }
}

void TestPictures::zodiacSymbolsDifferPairwise() {
    QFETCH(int, variant);
    QList<QBitArray> masks;
    for (int sign = 1; sign <= 12; ++sign)
        masks << inkMask(load(variantName(QStringLiteral("zodiacSymbol%1").arg(sign), kVariants[variant])));
    const QString similar = firstSimilarPair(masks, 0.6);
    QVERIFY2(similar.isEmpty(), qPrintable(similar));
}

void TestPictures::zodiacSymbolsAreBoldAtMenuSize_data() {
    QTest::addColumn<int>("sign");
    for (int sign = 1; sign <= 12; ++sign)
        QTest::addRow("sign %d", sign) << sign;
}

// Neither a speck nor a blob: at 18 px the gold figure covers a fair share of the badge.
void TestPictures::zodiacSymbolsAreBoldAtMenuSize() {
    QFETCH(int, sign);
    const QBitArray ink = inkMask(load(QStringLiteral("zodiacSymbol%1.png").arg(sign)));
    const double share = double(ink.count(true)) / (18 * 18);
    QVERIFY2(share > 0.09 && share < 0.5, qPrintable(QString::number(share)));
}

void TestPictures::constellationsDifferPairwise() {
    QFETCH(int, variant);
    QList<QBitArray> masks;
    for (int sign = 1; sign <= 12; ++sign)
        masks << brightMask(load(variantName(QStringLiteral("zodiacStars%1").arg(sign), kVariants[variant])));
    for (const QBitArray &mask : masks)
        QVERIFY(mask.count(true) > 0);
    const QString similar = firstSimilarPair(masks, 0.5);
    QVERIFY2(similar.isEmpty(), qPrintable(similar));
}

void TestPictures::writeContactSheets() {
    const QStringList moons = namesOf(QStringLiteral("moon"), 28);
    const QStringList symbols = namesOf(QStringLiteral("zodiacSymbol"), 12);
    const QStringList stars = namesOf(QStringLiteral("zodiacStars"), 12);
    QVERIFY(contactSheet(moons, 4).save(kSheetFolder + QStringLiteral("tst_Pictures.sheet-moon.png")));
    QVERIFY(
        contactSheet(symbols, 3).save(kSheetFolder + QStringLiteral("tst_Pictures.sheet-zodiacSymbol.png")));
    QVERIFY(contactSheet(stars, 3).save(kSheetFolder + QStringLiteral("tst_Pictures.sheet-zodiacStars.png")));

    const QImage moonSheet = contactSheet(moons, 4);
    const QImage symbolSheet = contactSheet(symbols, 4);
    const QImage starSheet = contactSheet(stars, 4);
    const QImage icon = load(QStringLiteral("tindral_icon.png"));
    const QImage bigIcon = load(QStringLiteral("tindral_icon@2x.png"));
    QImage sheet(moonSheet.width(), moonSheet.height() + symbolSheet.height() + starSheet.height() + 264,
                 QImage::Format_ARGB32);
    sheet.fill(QColor(200, 200, 204));
    QPainter painter(&sheet);
    int y = 0;
    for (const QImage *part : {&moonSheet, &symbolSheet, &starSheet}) {
        painter.drawImage(0, y, *part);
        y += part->height();
    }
    painter.fillRect(QRect(2, y + 2, 132, 132), kLight);
    painter.drawImage(QRect(4, y + 4, 128, 128), icon);
    painter.fillRect(QRect(138, y + 2, 132, 132), kDark);
    painter.drawImage(QRect(140, y + 4, 128, 128), icon);
    painter.fillRect(QRect(274, y + 2, 260, 260), kMiddle);
    painter.drawImage(QRect(276, y + 4, 256, 256), bigIcon);
    painter.end();
    QVERIFY(sheet.save(kSheetFolder + QStringLiteral("tst_Pictures.sheet.png")));
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_Pictures.moc"
