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

// How stored pixels are brought upright: mirrored left to right first (when Mirror), then turned clockwise
// by Quarters (0 to 3). Every one of the eight ways a camera may store a photo is one of these.
struct TPixelTurn {
    bool Mirror = false;
    int Quarters = 0;

    bool IsIdentity() const { return !Mirror && Quarters == 0; }
    bool Sideways() const { return Quarters % 2 != 0; }
    // This turn followed by a further clockwise turn of `quarters` (negative turns left).
    TPixelTurn ThenTurned(int quarters) const { return {Mirror, ((Quarters + quarters) % 4 + 4) % 4}; }
    bool operator==(const TPixelTurn&) const = default;
};

// The turn that shows a photo upright from its EXIF orientation (tag 0x0112): 1 as stored, 2 mirrored,
// 3 half turn, 4 mirrored and half turn (upside down), 5 mirrored and left turn (transposed), 6 right turn,
// 7 mirrored and right turn, 8 left turn. Any other value shows the photo as stored.
TPixelTurn TurnForOrientation(int orientation);

// The pixels turned as `turn` says: a mirror moves source (x, y) to (w - 1 - x, y), and the quarter turns
// move pixels as RotateQuarterTurns does. 32-bit like RotateQuarterTurns; a null picture gives a null one.
QImage TurnPixels(const QImage& picture, TPixelTurn turn);

} // namespace quillmark
