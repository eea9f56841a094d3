// Component icons, application icon and the two brand badges of the About box.
#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace Artwork {

namespace {

// Two arrow arcs chasing each other: the Ravuz Uzuvuv (sync) sign.
void paintSyncArrows(QPainter& p, QPointF centre, qreal radius, const QColor& colour, qreal width)
{
    p.save();
    p.translate(centre);
    QPen pen(colour, width, Qt::SolidLine, Qt::FlatCap);
    for (int half = 0; half < 2; ++half) {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRectF r(-radius, -radius, 2 * radius, 2 * radius);
        const qreal start = half ? 200 : 20;
        p.drawArc(r, int(start * 16), int(125 * 16));
        // Arrow head at the end of the arc.
        const qreal end = qDegreesToRadians(start + 125);
        const QPointF tip(radius * qCos(end), -radius * qSin(end));
        const QPointF tangent(-qSin(end), -qCos(end)); // direction of travel (counter-clockwise)
        const QPointF normal(qCos(end), -qSin(end));
        const qreal head = width * 1.9;
        QPolygonF arrow;
        arrow << tip + tangent * head * 1.1 << tip + normal * head << tip - normal * head;
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(arrow);
    }
    p.restore();
}

QColor grey(const QColor& c, bool enabled)
{
    if (enabled)
        return c;
    const int g = qGray(c.rgb());
    return QColor(g, g, g, c.alpha());
}

} // namespace

QImage genericComponent(bool enabled)
{
    QImage image = blankImage(96, 96);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Soft shadow under the device.
    QRadialGradient shadow(QPointF(48, 76), 44);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 90));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(48, 76), 44, 8);

    // Device body: a desktop module seen from the front.
    const QRectF body(6, 18, 84, 52);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0.0, grey(QColor(0x5a, 0x63, 0x88), enabled));
    metal.setColorAt(0.1, grey(QColor(0x3b, 0x42, 0x62), enabled));
    metal.setColorAt(1.0, grey(QColor(0x20, 0x24, 0x38), enabled));
    p.setPen(QPen(QColor(0x0a, 0x0c, 0x14), 1.2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 6, 6);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(body.left() + 6, body.top() + 1.3), QPointF(body.right() - 6, body.top() + 1.3));

    // Display: lit when enabled, dark otherwise.
    const QRectF lcd(13, 26, 34, 17);
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    if (enabled) {
        QLinearGradient glass(lcd.topLeft(), lcd.bottomLeft());
        glass.setColorAt(0.0, QColor(0x5d, 0xe4, 0xf0));
        glass.setColorAt(1.0, QColor(0x1d, 0x94, 0xa6));
        p.setBrush(glass);
    } else {
        p.setBrush(QColor(0x2a, 0x2c, 0x32));
    }
    p.drawRoundedRect(lcd, 2, 2);
    p.setPen(QPen(enabled ? QColor(0x07, 0x3a, 0x44) : QColor(0x4a, 0x4c, 0x54), 1.4));
    p.drawLine(QPointF(17, 32), QPointF(34, 32));
    p.drawLine(QPointF(17, 37), QPointF(28, 37));

    // Knobs.
    for (int i = 0; i < 3; ++i) {
        const QPointF c(57 + i * 11.5, 34);
        QRadialGradient k(c - QPointF(1.5, 1.5), 7);
        k.setColorAt(0.0, grey(QColor(0xc8, 0xcd, 0xdd), enabled));
        k.setColorAt(1.0, grey(QColor(0x50, 0x56, 0x6e), enabled));
        p.setPen(QPen(QColor(0, 0, 0, 170), 0.8));
        p.setBrush(k);
        p.drawEllipse(c, 4.5, 4.5);
        p.setPen(QPen(enabled ? QColor(Palette::amber) : QColor(0x9a, 0x9a, 0x9a), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(qSin(i * 1.3 - 1.0) * 3.2, -qCos(i * 1.3 - 1.0) * 3.2));
    }

    // Keys / pads row.
    for (int i = 0; i < 7; ++i) {
        const QRectF pad(13 + i * 10.3, 50, 8, 12);
        p.setPen(QPen(QColor(0, 0, 0, 160), 0.8));
        p.setBrush(grey(i == 2 || i == 5 ? QColor(Palette::amber) : QColor(0xd9, 0xdd, 0xe8), enabled));
        p.drawRoundedRect(pad, 1.5, 1.5);
    }

    // Status badge, lower right: green sync sign when on, grey crossed-out when off.
    const QPointF badge(76, 70);
    p.setPen(QPen(QColor(0x0a, 0x0c, 0x14, 220), 1.5));
    QRadialGradient disc(badge - QPointF(4, 4), 20);
    if (enabled) {
        disc.setColorAt(0.0, QColor(0x7d, 0xe6, 0x9d));
        disc.setColorAt(1.0, QColor(0x1f, 0x8f, 0x4a));
    } else {
        disc.setColorAt(0.0, QColor(0xb8, 0xb8, 0xbc));
        disc.setColorAt(1.0, QColor(0x66, 0x66, 0x6c));
    }
    p.setBrush(disc);
    p.drawEllipse(badge, 14, 14);
    paintSyncArrows(p, badge, 7.5, enabled ? Qt::white : QColor(0xec, 0xec, 0xee), 2.2);
    if (!enabled) {
        p.setPen(QPen(QColor(0xd6, 0x3a, 0x32), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(badge + QPointF(-8.5, -8.5), badge + QPointF(8.5, 8.5));
    }
    return image;
}

QImage background()
{
    QImage image = blankImage(1, 1);
    image.setPixelColor(0, 0, QColor(102, 105, 124));
    return image;
}

QImage applicationIcon()
{
    QImage image = blankImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(1, 1, 30, 30);
    QLinearGradient g(tile.topLeft(), tile.bottomRight());
    g.setColorAt(0.0, QColor(0x3a, 0x45, 0x78));
    g.setColorAt(1.0, QColor(0x14, 0x17, 0x28));
    p.setPen(QPen(QColor(0x08, 0x0a, 0x12), 1));
    p.setBrush(g);
    p.drawRoundedRect(tile, 6, 6);

    // Three faders.
    const qreal caps[3] = {19, 11, 15};
    for (int i = 0; i < 3; ++i) {
        const qreal x = 9.5 + i * 6.5;
        p.setPen(QPen(QColor(0x05, 0x06, 0x0b), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, 7), QPointF(x, 25));
        p.setPen(QPen(QColor(0, 0, 0, 160), 0.7));
        p.setBrush(i == 1 ? QColor(Palette::amber) : QColor(0xe6, 0xea, 0xf2));
        p.drawRoundedRect(QRectF(x - 2.8, caps[i] - 2, 5.6, 4), 1, 1);
    }
    // Teal status light.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Palette::teal));
    p.drawEllipse(QPointF(25.5, 7), 1.6, 1.6);
    return image;
}

namespace {

void paintBadgeTile(QPainter& p, const QRectF& tile)
{
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0.0, QColor(0x35, 0x3d, 0x62));
    g.setColorAt(1.0, QColor(0x15, 0x18, 0x28));
    p.setPen(QPen(QColor(0x08, 0x0a, 0x12), 1));
    p.setBrush(g);
    p.drawRoundedRect(tile, 5, 5);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(tile.left() + 5, tile.top() + 1), QPointF(tile.right() - 5, tile.top() + 1));
}

} // namespace

QImage recallBadge()
{
    QImage image = blankImage(64, 37);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBadgeTile(p, QRectF(0.5, 0.5, 63, 36));
    paintSyncArrows(p, QPointF(15, 18.5), 8, QColor(Palette::amber), 2.2);

    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(14);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRectF(27, 3, 36, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("LF"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    p.setFont(small);
    p.setPen(QColor(0xc4, 0xca, 0xdc));
    p.drawText(QRectF(27, 19, 36, 13), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("recall"));
    return image;
}

QImage kavBadge()
{
    QImage image = blankImage(64, 39);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBadgeTile(p, QRectF(0.5, 0.5, 63, 38));

    QFont word(QStringLiteral("DejaVu Sans"));
    word.setPixelSize(16);
    word.setBold(true);
    word.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(word);
    p.setPen(Qt::white);
    p.drawText(QRectF(6, 4, 40, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KAV"));

    // Version disc.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Palette::amber));
    p.drawEllipse(QPointF(52, 14), 7.5, 7.5);
    QFont two(QStringLiteral("DejaVu Sans"));
    two.setPixelSize(11);
    two.setBold(true);
    p.setFont(two);
    p.setPen(QColor(0x15, 0x18, 0x28));
    p.drawText(QRectF(44.5, 6.5, 15, 15), Qt::AlignCenter, QStringLiteral("2"));

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(8);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    p.setFont(small);
    p.setPen(QColor(Palette::teal));
    p.drawText(QRectF(0, 24, 64, 11), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("PLUG-IN"));
    return image;
}

} // namespace Artwork
