#pragma once

#include <QFont>
#include <QIconEngine>
#include <QString>
#include <QStringList>

// Draws a status item's title as its icon, for trays that show no text: the title on a dark rounded plate,
// broken into as many lines (at spaces and colons) as give the largest letters for the size the tray asks
// for.
class StatusItemIconEngine : public QIconEngine {
public:
    // How a title fills a square: its lines, top to bottom, and the font's pixel size.
    struct Layout {
        QStringList lines;
        int pixelSize = 0;
    };

    // guide: the widest text the title stands for (StatusItem::titleGuide()); when it has the title's length
    // the title is cut and sized as the guide would be, so the letters keep their size as the digits change.
    explicit StatusItemIconEngine(const QString &title, const QString &guide = QString());

    // The layout with the largest letters that fits the title into a size x size square (1 to 3 lines, a
    // space or colon where a line breaks is left out). pixelSize 0 when nothing fits.
    static Layout layoutFor(const QString &title, int size, const QFont &font);
    // The title cut where the guide's layout cuts and at the guide's letter size; layoutFor(title) when the
    // two differ in length. Guide layouts are remembered, as a clock's guide stays the same for hours.
    static Layout guidedLayoutFor(const QString &title, const QString &guide, int size, const QFont &font);
    // The bold font the title is drawn in.
    static QFont titleFont();

    QString title() const { return m_title; }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    bool isNull() override { return false; }

private:
    QString m_title;
    QString m_guide;
};
