#include "ui/windowicon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace scale {

QIcon drawWindowIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);

    // Pins above and below the chip's body, then the body.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (int x = 12; x <= 19; x += 3) {
        painter.drawRect(x, 7, 1, 3);
        painter.drawRect(x, 22, 1, 3);
    }
    painter.setBrush(QColor(128, 128, 128));
    painter.setPen(Qt::black);
    painter.drawRect(10, 10, 11, 11);
    painter.setPen(QColor(192, 192, 192));
    painter.drawLine(11, 11, 19, 11);

    // Red arrows to the left and the right.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawRect(4, 14, 5, 3);
    painter.drawPolygon(QPolygon({QPoint(0, 15), QPoint(5, 10), QPoint(5, 20)}));
    painter.drawRect(23, 14, 5, 3);
    painter.drawPolygon(QPolygon({QPoint(31, 15), QPoint(26, 10), QPoint(26, 20)}));
    painter.end();
    return QIcon(pixmap);
}

}  // namespace scale
