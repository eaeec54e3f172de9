// Exact quarter and half turns of a picture's pixels: the view turns photos with them, and a turned
// picture that is only being looked at is drawn from a turned reduction, without turning every pixel.
#pragma once

#include <QImage>

#include <stdexcept>

namespace quillmark {

// Turns a picture by 90 (right, clockwise), -90 (left) or 180 degrees; any multiple of 90 is taken
// modulo a full turn. Pixels only move: a right turn takes destination (x', y') from source
// (y', h - 1 - x'), a left turn from (w - 1 - y', x'), a half turn from (w - 1 - x', h - 1 - y'), so four
// right turns give back the very same pixels. The result is 32-bit (RGB32, or ARGB32 for a picture with
// an alpha channel); a null picture gives a null one. std::invalid_argument for any other angle.
QImage RotateQuarterTurns(const QImage& picture, int degrees);

} // namespace quillmark
