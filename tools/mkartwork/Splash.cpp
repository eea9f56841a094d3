// The splash screen: brand on the left, a channel-strip panel on the right, and a
// dark, clean lower-left corner where the program writes its version in white.
#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace Artwork {

QImage blankImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 288;

void paintBackground(QPainter& p)
{
    QLinearGradient base(0, 0, 0, kHeight);
    base.setColorAt(0.0, QColor(0x2a, 0x31, 0x52));
    base.setColorAt(0.55, QColor(0x17, 0x1b, 0x2e));
    base.setColorAt(1.0, QColor(0x0b, 0x0d, 0x16));
    p.fillRect(0, 0, kWidth, kHeight, base);

    // Soft stage light behind the panel.
    QRadialGradient glow(QPointF(350, 70), 230);
    glow.setColorAt(0.0, QColor(55, 200, 216, 70));
    glow.setColorAt(0.5, QColor(55, 200, 216, 18));
    glow.setColorAt(1.0, QColor(55, 200, 216, 0));
    p.fillRect(0, 0, kWidth, kHeight, glow);

    // Faint rack-rail lines give the surface some texture.
    p.setPen(QColor(255, 255, 255, 9));
    for (int y = 6; y < kHeight; y += 6)
        p.drawLine(0, y, kWidth, y);
}

void paintKnob(QPainter& p, QPointF centre, qreal radius, qreal angleDeg)
{
    QRadialGradient body(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.6);
    body.setColorAt(0.0, QColor(0x8a, 0x92, 0xb0));
    body.setColorAt(0.6, QColor(0x40, 0x46, 0x60));
    body.setColorAt(1.0, QColor(0x1c, 0x20, 0x30));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(body);
    p.drawEllipse(centre, radius, radius);

    p.save();
    p.translate(centre);
    p.rotate(angleDeg);
    p.setPen(QPen(QColor(Palette::amber), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -radius * 0.25), QPointF(0, -radius * 0.85));
    p.restore();
}

void paintMeter(QPainter& p, QRectF slot, int lit)
{
    constexpr int segments = 12;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x07, 0x08, 0x0e));
    p.drawRoundedRect(slot.adjusted(-1.5, -1.5, 1.5, 1.5), 2, 2);
    const qreal step = slot.height() / segments;
    for (int i = 0; i < segments; ++i) {
        const QRectF seg(slot.left(), slot.bottom() - (i + 1) * step + 0.8, slot.width(), step - 1.6);
        QColor c = i >= 10 ? QColor(0xff, 0x5a, 0x4a) : i >= 7 ? QColor(Palette::amber) : QColor(Palette::teal);
        if (i >= lit)
            c.setAlpha(38);
        p.setBrush(c);
        p.drawRect(seg);
    }
}

void paintFader(QPainter& p, qreal x, qreal top, qreal bottom, qreal position)
{
    // Slot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x05, 0x06, 0x0b));
    p.drawRoundedRect(QRectF(x - 1.5, top, 3, bottom - top), 1.5, 1.5);
    // Scale ticks.
    p.setPen(QColor(255, 255, 255, 40));
    for (qreal y = top + 4; y < bottom - 2; y += 8)
        p.drawLine(QPointF(x - 7, y), QPointF(x - 4, y));
    // Cap.
    const qreal capY = top + (bottom - top) * position;
    const QRectF cap(x - 7, capY - 6, 14, 12);
    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    g.setColorAt(0.0, QColor(0xe9, 0xec, 0xf4));
    g.setColorAt(0.45, QColor(0xb4, 0xba, 0xcc));
    g.setColorAt(0.5, QColor(0x6b, 0x72, 0x8a));
    g.setColorAt(1.0, QColor(0x9d, 0xa4, 0xba));
    p.setPen(QPen(QColor(0, 0, 0, 170), 1));
    p.setBrush(g);
    p.drawRoundedRect(cap, 2, 2);
    p.setPen(QPen(QColor(0x20, 0x24, 0x34), 1));
    p.drawLine(QPointF(cap.left() + 2, capY), QPointF(cap.right() - 2, capY));
}

void paintPanel(QPainter& p)
{
    const QRectF panel(268, 34, 170, 206);

    // Drop shadow.
    for (int i = 6; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 14));
        p.drawRoundedRect(panel.adjusted(-i + 3, -i + 5, i + 3, i + 5), 8 + i, 8 + i);
    }

    QLinearGradient metal(panel.topLeft(), panel.bottomLeft());
    metal.setColorAt(0.0, QColor(0x4a, 0x52, 0x72));
    metal.setColorAt(0.08, QColor(0x33, 0x39, 0x55));
    metal.setColorAt(1.0, QColor(0x1d, 0x21, 0x33));
    p.setPen(QPen(QColor(0x0a, 0x0c, 0x14), 1.2));
    p.setBrush(metal);
    p.drawRoundedRect(panel, 7, 7);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.drawLine(QPointF(panel.left() + 7, panel.top() + 1.2), QPointF(panel.right() - 7, panel.top() + 1.2));

    // Six channel strips.
    constexpr int strips = 6;
    const qreal stripWidth = (panel.width() - 20) / strips;
    const int lit[strips] = {7, 9, 5, 11, 8, 4};
    const qreal fader[strips] = {0.42, 0.30, 0.55, 0.22, 0.38, 0.62};
    const qreal knob[strips] = {-120, -40, 30, 95, -75, 10};
    for (int i = 0; i < strips; ++i) {
        const qreal cx = panel.left() + 10 + stripWidth * (i + 0.5);
        if (i > 0) {
            p.setPen(QColor(0, 0, 0, 90));
            p.drawLine(QPointF(cx - stripWidth / 2, panel.top() + 10), QPointF(cx - stripWidth / 2, panel.bottom() - 10));
        }
        paintKnob(p, QPointF(cx, panel.top() + 22), 8.5, knob[i]);
        paintKnob(p, QPointF(cx, panel.top() + 46), 6.5, knob[(i + 3) % strips]);
        paintMeter(p, QRectF(cx - 10, panel.top() + 62, 3.5, 58), lit[i]);
        paintFader(p, cx + 3.5, panel.top() + 64, panel.bottom() - 18, fader[i]);
        p.setPen(Qt::NoPen);
        p.setBrush(i == 3 ? QColor(Palette::amber) : QColor(Palette::green));
        p.drawEllipse(QPointF(cx, panel.bottom() - 8), 2, 2);
    }

    // Screws.
    for (const QPointF s : {panel.topLeft() + QPointF(6, 6), panel.topRight() + QPointF(-6, 6),
                            panel.bottomLeft() + QPointF(6, -6), panel.bottomRight() + QPointF(-6, -6)}) {
        p.setPen(QPen(QColor(0, 0, 0, 150), 0.8));
        p.setBrush(QColor(0x70, 0x78, 0x94));
        p.drawEllipse(s, 2.2, 2.2);
    }
}

void paintBrand(QPainter& p)
{
    QFont maker(QStringLiteral("DejaVu Sans"));
    maker.setPixelSize(13);
    maker.setBold(true);
    maker.setLetterSpacing(QFont::AbsoluteSpacing, 5.5);
    p.setFont(maker);
    p.setPen(QColor(Palette::amber));
    p.drawText(QPointF(30, 88), QStringLiteral("VELMAR"));

    QFont product(QStringLiteral("DejaVu Sans"));
    product.setPixelSize(35);
    product.setBold(true);
    product.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    p.setFont(product);
    // Slight engraved look: dark offset under a light face.
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(QPointF(28, 131), QStringLiteral("Mixwarden"));
    QLinearGradient face(0, 100, 0, 132);
    face.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    face.setColorAt(1.0, QColor(0xc9, 0xd3, 0xea));
    QPainterPath text;
    text.addText(QPointF(27, 129.5), product, QStringLiteral("Mixwarden"));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawPath(text);

    QLinearGradient rule(28, 0, 228, 0);
    rule.setColorAt(0.0, QColor(Palette::teal));
    rule.setColorAt(1.0, QColor(55, 200, 216, 0));
    p.fillRect(QRectF(30, 144, 200, 2), rule);

    QFont tagline(QStringLiteral("DejaVu Sans"));
    tagline.setPixelSize(12);
    p.setFont(tagline);
    p.setPen(QColor(0xc4, 0xca, 0xdc));
    p.drawText(QPointF(30, 167), QStringLiteral("The studio host for KAV"));
    p.drawText(QPointF(30, 183), QStringLiteral("device-editor plug-ins"));

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(small);
    p.setPen(QColor(0x8c, 0x94, 0xae));
    p.drawText(QPointF(30, 206), QStringLiteral("WORKSPACE  \u00b7  MIDI  \u00b7  RAVUZ UZUVUV"));
}

void paintFooter(QPainter& p)
{
    // A hairline separates the footer; the lower-left stays free for the version text.
    QLinearGradient line(0, 0, kWidth, 0);
    line.setColorAt(0.0, QColor(255, 255, 255, 0));
    line.setColorAt(0.3, QColor(255, 255, 255, 40));
    line.setColorAt(1.0, QColor(255, 255, 255, 10));
    p.fillRect(QRectF(0, 258, kWidth, 1), line);

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    p.setFont(small);
    p.setPen(QColor(0x7c, 0x84, 0x9e));
    p.drawText(QRectF(150, 266, 300, 16), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("\u00a9 Velmar. All rights reserved."));
}

} // namespace

QImage hostSplash()
{
    QImage image = blankImage(kWidth, kHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBackground(p);
    paintPanel(p);
    paintBrand(p);
    paintFooter(p);
    return image;
}

} // namespace Artwork
