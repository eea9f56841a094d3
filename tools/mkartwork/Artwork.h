#pragma once
// Drawing routines for the program's built-in images. Every image is drawn from
// scratch with QPainter into an ARGB32 image of its exact size.

#include <QImage>

namespace Artwork {

QImage hostSplash();                  // 460 x 288
QImage genericComponent(bool enabled); // 96 x 96; Ravuz Uzuvuv on or off
QImage background();                  // 1 x 1
QImage applicationIcon();             // 32 x 32
QImage recallBadge();                 // 64 x 37
QImage kavBadge();                    // 64 x 39

// Shared palette.
namespace Palette {
inline constexpr unsigned int night = 0xff10131f;
inline constexpr unsigned int navy = 0xff232a45;
inline constexpr unsigned int steel = 0xff3a4262;
inline constexpr unsigned int amber = 0xfff5a623;
inline constexpr unsigned int teal = 0xff37c8d8;
inline constexpr unsigned int green = 0xff3fbf6f;
} // namespace Palette

QImage blankImage(int width, int height);

} // namespace Artwork
