#pragma once

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QRawFont>

namespace scale {

// The weight readout: a label that draws its caption from images of its glyphs, made once each.
// Qt caches glyphs only up to 64 pixels; the readout's 100-point digits are larger, so a plain
// label fills every glyph's outline again at every new weight, which is most of what reading a
// fast indicator costs.
class ReadoutLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Glyph {
        QImage image;
        QPoint offset;  // of the image's top left from the glyph's origin on the baseline
    };
    const Glyph& glyph(const QRawFont& font, quint32 index, const QColor& colour);

    QHash<QString, Glyph> m_glyphs;  // by font, glyph and colour
};

}  // namespace scale
