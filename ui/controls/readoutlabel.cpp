#include "ui/controls/readoutlabel.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace scale {
namespace {

// Two colours and a few dozen characters: more than this means fonts came and went.
constexpr qsizetype kMostGlyphs = 512;

}  // namespace

void ReadoutLabel::paintEvent(QPaintEvent*) {
    QTextLayout layout(text(), font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) {
        return;
    }
    QPainter painter(this);
    // Where a label puts a single line: at the left, centred from top to bottom.
    const QRect area = contentsRect();
    const QPointF top(area.left(), area.top() + (area.height() - line.height()) / 2.0);
    const QColor colour =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole());
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            const Glyph& drawn = glyph(run.rawFont(), indexes[i], colour);
            painter.drawImage((top + positions[i]).toPoint() + drawn.offset, drawn.image);
        }
    }
}

const ReadoutLabel::Glyph& ReadoutLabel::glyph(const QRawFont& font, quint32 index,
                                               const QColor& colour) {
    const QString key = font.familyName() + QLatin1Char('/') + font.styleName() + QLatin1Char('/') +
                        QString::number(font.pixelSize()) + QLatin1Char('/') +
                        QString::number(index) + QLatin1Char('/') + QString::number(colour.rgba());
    if (const auto found = m_glyphs.constFind(key); found != m_glyphs.constEnd()) {
        return *found;
    }
    if (m_glyphs.size() >= kMostGlyphs) {
        m_glyphs.clear();
    }
    // One pixel to spare on every side for antialiasing.
    const QRect bounds = font.boundingRect(index).toAlignedRect().adjusted(-1, -1, 1, 1);
    const qreal scale = devicePixelRatioF();
    QImage image(bounds.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setPen(colour);
        QGlyphRun one;
        one.setRawFont(font);
        one.setGlyphIndexes({index});
        one.setPositions({QPointF(-bounds.left(), -bounds.top())});
        painter.drawGlyphRun(QPointF(0, 0), one);
    }
    return *m_glyphs.insert(key, Glyph{image, bounds.topLeft()});
}

}  // namespace scale
