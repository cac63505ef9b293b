#include "StatusItemIconEngine.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace {

constexpr int maximumLines = 3;
// Room left between the plate's edge and the letters, and between two lines, in pixels.
constexpr qreal margin = 1.0;
constexpr qreal lineGap = 1.0;

const QColor plateColour(24, 24, 24, 230);
const QColor letterColour(255, 255, 255);

bool isBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char(':');
}

// Every way of cutting the title into at most maximumLines lines at its spaces and colons.
QList<QStringList> candidateLines(const QString &title) {
    const QString text = title.simplified();
    QList<qsizetype> breaks;
    for (qsizetype i = 1; i + 1 < text.size(); ++i)
        if (isBreak(text.at(i)))
            breaks.append(i);
    QList<QStringList> candidates{{text}};
    // Each subset of breaks with fewer than maximumLines members; titles have only a handful of breaks.
    const int count = int(std::min<qsizetype>(breaks.size(), 10));
    for (int mask = 1; mask < (1 << count); ++mask) {
        if (__builtin_popcount(unsigned(mask)) >= maximumLines)
            continue;
        QStringList lines;
        qsizetype start = 0;
        for (int b = 0; b < count; ++b) {
            if (mask & (1 << b)) {
                lines.append(text.mid(start, breaks[b] - start));
                start = breaks[b] + 1;
            }
        }
        lines.append(text.mid(start));
        if (std::none_of(lines.cbegin(), lines.cend(), [](const QString &line) { return line.isEmpty(); }))
            candidates.append(lines);
    }
    return candidates;
}

// The inked box of each line, from its tight bounding rectangle (y is above the baseline, so negative).
QList<QRectF> lineBoxes(const QStringList &lines, const QFont &font) {
    const QFontMetricsF metrics(font);
    QList<QRectF> boxes;
    for (const QString &line : lines)
        boxes.append(metrics.tightBoundingRect(line));
    return boxes;
}

qreal stackedHeight(const QList<QRectF> &boxes) {
    qreal height = lineGap * (boxes.size() - 1);
    for (const QRectF &box : boxes)
        height += box.height();
    return height;
}

bool fits(const QStringList &lines, const QFont &font, qreal room) {
    const QList<QRectF> boxes = lineBoxes(lines, font);
    return stackedHeight(boxes) <= room &&
           std::all_of(boxes.cbegin(), boxes.cend(),
                       [room](const QRectF &box) { return box.width() <= room; });
}

} // namespace

StatusItemIconEngine::StatusItemIconEngine(const QString &title, const QString &guide)
    : m_title(title)
    , m_guide(guide) {}

QFont StatusItemIconEngine::titleFont() {
    QFont font = QGuiApplication::font();
    font.setBold(true);
    return font;
}

StatusItemIconEngine::Layout StatusItemIconEngine::layoutFor(const QString &title, int size,
                                                             const QFont &font) {
    Layout best;
    const qreal room = size - 2 * margin;
    if (title.trimmed().isEmpty() || room < 1)
        return best;
    for (const QStringList &lines : candidateLines(title)) {
        // Binary search for the largest pixel size that fits; every size below a fitting one fits too.
        int low = 0;
        int high = size * 2;
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            QFont sized(font);
            sized.setPixelSize(middle);
            if (fits(lines, sized, room))
                low = middle;
            else
                high = middle - 1;
        }
        // Ties go to the candidate met first, which has fewer lines.
        if (low > best.pixelSize)
            best = Layout{lines, low};
    }
    return best;
}

StatusItemIconEngine::Layout StatusItemIconEngine::guidedLayoutFor(const QString &title, const QString &guide,
                                                                   int size, const QFont &font) {
    const QString text = title.simplified();
    const QString pattern = guide.simplified();
    if (pattern.size() != text.size())
        return layoutFor(title, size, font);

    static QHash<QString, Layout> remembered;
    const QString key = QStringLiteral("%1|%2|%3").arg(pattern).arg(size).arg(font.toString());
    auto found = remembered.constFind(key);
    if (found == remembered.cend()) {
        // A handful of guides and sizes in a run; the bound only guards against an owner changing guides
        // without end.
        if (remembered.size() > 64)
            remembered.clear();
        found = remembered.insert(key, layoutFor(pattern, size, font));
    }

    Layout layout{{}, found->pixelSize};
    qsizetype position = 0;
    for (const QString &line : found->lines) {
        layout.lines.append(text.mid(position, line.size()));
        position += line.size() + 1;
    }
    return layout;
}

void StatusItemIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) {
    Q_UNUSED(state);
    const int size = std::min(rect.width(), rect.height());
    if (size <= 0)
        return;
    const QRectF square(rect.x() + (rect.width() - size) / 2.0, rect.y() + (rect.height() - size) / 2.0, size,
                        size);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(plateColour);
    const qreal radius = size / 6.0;
    painter->drawRoundedRect(square, radius, radius);

    const Layout layout = guidedLayoutFor(m_title, m_guide, size, titleFont());
    if (layout.pixelSize > 0) {
        QFont font = titleFont();
        font.setPixelSize(layout.pixelSize);
        const QList<QRectF> boxes = lineBoxes(layout.lines, font);
        qreal top = square.y() + (size - stackedHeight(boxes)) / 2.0;
        QPainterPath path;
        for (qsizetype i = 0; i < layout.lines.size(); ++i) {
            const QRectF &box = boxes.at(i);
            const qreal x = square.x() + (size - box.width()) / 2.0 - box.x();
            path.addText(QPointF(x, top - box.y()), font, layout.lines.at(i));
            top += box.height() + lineGap;
        }
        QColor colour = letterColour;
        if (mode == QIcon::Disabled)
            colour.setAlpha(128);
        painter->setBrush(colour);
        painter->drawPath(path);
    }
    painter->restore();
}

QPixmap StatusItemIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    if (size.isEmpty())
        return pixmap;
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
}

QSize StatusItemIconEngine::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) {
    Q_UNUSED(mode);
    Q_UNUSED(state);
    return size;
}

QList<QSize> StatusItemIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) {
    Q_UNUSED(mode);
    Q_UNUSED(state);
    return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
}

QIconEngine *StatusItemIconEngine::clone() const {
    return new StatusItemIconEngine(m_title, m_guide);
}

QString StatusItemIconEngine::key() const {
    return QStringLiteral("StatusItemIconEngine");
}
