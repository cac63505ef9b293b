#include "StatusItemIconEngine.h"

#include <QFontMetricsF>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>

namespace {

// Room for letters in a size x size icon, and the gap between lines, as the tray icon leaves them.
constexpr qreal margin = 1.0;
constexpr qreal lineGap = 1.0;

bool isBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char(':');
}

// Whether lines are the title cut at some of its spaces and colons, each cut taking out one such character.
bool cutsOf(const QStringList &lines, const QString &title) {
    qsizetype position = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (title.mid(position, lines.at(i).size()) != lines.at(i))
            return false;
        position += lines.at(i).size();
        if (i + 1 < lines.size()) {
            if (position >= title.size() || !isBreak(title.at(position)))
                return false;
            ++position;
        }
    }
    return position == title.size();
}

bool fitsSquare(const QStringList &lines, int pixelSize, int size) {
    QFont font = StatusItemIconEngine::titleFont();
    font.setPixelSize(pixelSize);
    const QFontMetricsF metrics(font);
    qreal height = lineGap * (lines.size() - 1);
    for (const QString &line : lines) {
        const QRectF box = metrics.tightBoundingRect(line);
        if (box.width() > size - 2 * margin)
            return false;
        height += box.height();
    }
    return height <= size - 2 * margin;
}

const QStringList titles = {QStringLiteral("12:34:56"),    QStringLiteral("9:05"),
                            QStringLiteral("9:05 PM"),     QStringLiteral("Mon 14:07"),
                            QStringLiteral("12:34:56 PM"), QStringLiteral("Loading")};
const QList<int> sizes = {16, 22, 24, 32, 48, 64};

} // namespace

class TestStatusItemIconEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void layoutStacksTheClock_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("eight characters in a small tray: hours, minutes, seconds stacked")
            << QStringLiteral("12:34:56") << 22 << QStringList({"12", "34", "56"});
        QTest::newRow("hours and minutes: two lines")
            << QStringLiteral("9:05") << 48 << QStringList({"9", "05"});
        QTest::newRow("a word without breaks stays whole")
            << QStringLiteral("Loading") << 48 << QStringList({"Loading"});
        QTest::newRow("doubled spaces count once")
            << QStringLiteral("12  34") << 48 << QStringList({"12", "34"});
    }

    void layoutStacksTheClock() {
        QFETCH(QString, title);
        QFETCH(int, size);
        QFETCH(QStringList, lines);
        const auto layout = StatusItemIconEngine::layoutFor(title, size, StatusItemIconEngine::titleFont());
        QCOMPARE(layout.lines, lines);
        QVERIFY(layout.pixelSize > 0);
    }

    // Whatever the title and the tray, the letters fit the square and are as large as can fit.
    void everyLayoutFitsAndIsTheLargest() {
        for (const QString &title : titles) {
            for (const int size : sizes) {
                const auto layout =
                    StatusItemIconEngine::layoutFor(title, size, StatusItemIconEngine::titleFont());
                const QByteArray where = (title + QStringLiteral(" at %1").arg(size)).toUtf8();
                QVERIFY2(layout.pixelSize > 0, where);
                QVERIFY2(layout.lines.size() <= 3, where);
                QVERIFY2(cutsOf(layout.lines, title), where);
                QVERIFY2(fitsSquare(layout.lines, layout.pixelSize, size), where);
                QVERIFY2(!fitsSquare(layout.lines, layout.pixelSize + 1, size), where);
            }
        }
    }

    void largerTraysNeverGetSmallerLetters() {
        for (const QString &title : titles) {
            int previous = 0;
            for (const int size : sizes) {
                const int pixelSize =
                    StatusItemIconEngine::layoutFor(title, size, StatusItemIconEngine::titleFont()).pixelSize;
                QVERIFY2(pixelSize >= previous, qPrintable(title + QStringLiteral(" at %1").arg(size)));
                previous = pixelSize;
            }
        }
    }

    // The guide fixes the cuts and the letter size, so the icon does not change size from one second to the
    // next as narrow and wide digits come and go.
    void guideKeepsTheLettersSteady() {
        const QFont font = StatusItemIconEngine::titleFont();
        const QString guide = QStringLiteral("00:00:00 PM");
        const auto narrow =
            StatusItemIconEngine::guidedLayoutFor(QStringLiteral("11:11:11 PM"), guide, 22, font);
        const auto wide =
            StatusItemIconEngine::guidedLayoutFor(QStringLiteral("08:48:08 PM"), guide, 22, font);
        QCOMPARE(narrow.pixelSize, wide.pixelSize);
        QCOMPARE(narrow.pixelSize, StatusItemIconEngine::layoutFor(guide, 22, font).pixelSize);
        QCOMPARE(narrow.lines.size(), wide.lines.size());
        QVERIFY(cutsOf(narrow.lines, QStringLiteral("11:11:11 PM")));
        QVERIFY(cutsOf(wide.lines, QStringLiteral("08:48:08 PM")));
        for (qsizetype i = 0; i < narrow.lines.size(); ++i)
            QCOMPARE(narrow.lines.at(i).size(), wide.lines.at(i).size());

        // A guide that does not match the title is no guide.
        const auto unguided = StatusItemIconEngine::guidedLayoutFor(QStringLiteral("9:05"), guide, 48, font);
        QCOMPARE(unguided.lines, StatusItemIconEngine::layoutFor(QStringLiteral("9:05"), 48, font).lines);
    }

    void emptyTitleHasNoLetters() {
        QCOMPARE(StatusItemIconEngine::layoutFor(QString(), 22, StatusItemIconEngine::titleFont()).pixelSize,
                 0);
        QCOMPARE(StatusItemIconEngine::layoutFor(QStringLiteral("  "), 22, StatusItemIconEngine::titleFont())
                     .pixelSize,
                 0);
        QCOMPARE(StatusItemIconEngine::layoutFor(QStringLiteral("12"), 2, StatusItemIconEngine::titleFont())
                     .pixelSize,
                 0);
    }

    void iconIsDrawnAtTheSizeAsked_data() {
        QTest::addColumn<int>("size");
        for (const int size : sizes)
            QTest::addRow("%d pixels", size) << size;
    }

    void iconIsDrawnAtTheSizeAsked() {
        QFETCH(int, size);
        const QIcon icon(new StatusItemIconEngine(QStringLiteral("12:34:56")));
        QVERIFY(!icon.isNull());
        const QImage image =
            icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        // Rounded corners leave the very corner (nearly) clear; the letters are light on the dark plate.
        QVERIFY(qAlpha(image.pixel(0, 0)) < 64);
        QVERIFY(qAlpha(image.pixel(size - 1, size - 1)) < 64);
        int light = 0;
        int dark = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) > 200 && qGray(pixel) > 180)
                    ++light;
                else if (qAlpha(pixel) > 200 && qGray(pixel) < 60)
                    ++dark;
            }
        }
        QVERIFY2(light > 0, "no letters drawn");
        QVERIFY2(dark > light, "no plate behind the letters");
    }
};

QTEST_MAIN(TestStatusItemIconEngine)
#include "tst_StatusItemIconEngine.moc"
