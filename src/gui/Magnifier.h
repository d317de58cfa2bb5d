#pragma once

class QPainter;

namespace corvane {

// The side of the square the magnifier is drawn in; scale the painter for other sizes.
inline constexpr int kMagnifierSide = 256;

// Paints the magnifying glass (a ring with a light lens and a handle) that is both the choose
// button's image and the program's icon. data/net.corvane.Corvane.svg is the same drawing.
void paintMagnifier(QPainter& painter);

} // namespace corvane
