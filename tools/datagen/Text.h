// Large smoothed, shaded lettering grown from the 8x8 font, and a tiny font for dial numbers.
#pragma once

#include "Canvas.h"

#include <string>

struct Lettering {
    double scale = 4;                           // screen pixels per font pixel
    Rgb top, upperMiddle, lowerMiddle, bottom;  // fill gradient, split at half height
    Rgb outline;
    double outlineWidth = 1;  // screen pixels
    int shadowDx = 2, shadowDy = 2;
    double shadowAlpha = 0.5;
};

// Draws with the top-left of the first glyph cell at (x, y); each glyph cell is 8 * scale wide.
void drawLettering(Canvas& canvas, int x, int y, const std::string& s, const Lettering& style);

// Digits, space and the letters M, P, H, 5 pixels tall, 1 pixel apart.
void drawTinyText(Canvas& canvas, int x, int y, const std::string& s, Rgb c);
int tinyTextWidth(const std::string& s);
