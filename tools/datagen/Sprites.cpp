// The small bitmaps: slider knob, course markers, car parts and the speed dial.
#include "Art.h"
#include "Text.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double square(double v) {
    return v * v;
}

// Lights a round part from the top-left: 1 on the lit rim, 0 on the far one.
double roundLight(double dx, double dy, double radius) {
    return std::clamp(0.5 - 0.5 * (dx + dy) / (radius * 1.4142), 0.0, 1.0);
}

}  // namespace

Canvas makePointer() {
    Canvas c(kPointerWidth, kPointerHeight, Rgb{});
    const int right = kPointerWidth - 1, bottom = kPointerHeight - 1;
    for (int y = 0; y <= bottom; ++y)
        for (int x = 0; x <= right; ++x) {
            const double t = static_cast<double>(y) / bottom;
            Rgb metal = mix(Rgb{236, 238, 244}, Rgb{132, 136, 148}, t);
            if (x == 0 || y == 0) metal = Rgb{252, 252, 255};
            if (x == 1 || y == 1) metal = mix(metal, Rgb{255, 255, 255}, 0.5);
            if (x == right || y == bottom) metal = Rgb{56, 58, 66};
            if (x == right - 1 || y == bottom - 1) metal = shade(metal, 0.75);
            c.set(x, y, metal);
        }
    // Grip ridges either side of the value line.
    for (int x : {6, 9, 12, 27, 30, 33}) {
        c.line(x, 3, x, bottom - 3, Rgb{96, 100, 112});
        c.line(x + 1, 3, x + 1, bottom - 3, Rgb{250, 250, 255});
    }
    c.box(15, kPointerHeight / 2 - 1, 24, kPointerHeight / 2, Rgb{226, 44, 30});
    c.line(15, kPointerHeight / 2 - 2, 24, kPointerHeight / 2 - 2, Rgb{120, 24, 16});
    return c;
}

Canvas makeWaypoint() {
    Canvas c(14, 14, kKey);
    c.box(1, 2, 1, 12, Rgb{214, 214, 220});
    c.box(2, 2, 2, 12, Rgb{128, 128, 136});
    c.box(1, 0, 2, 1, Rgb{255, 214, 60});
    c.box(0, 12, 3, 12, Rgb{70, 70, 74});
    c.box(1, 13, 2, 13, Rgb{40, 40, 44});
    for (int y = 1; y <= 8; ++y)
        for (int x = 3; x <= 13; ++x) {
            const bool dark = ((x - 3) / 2 + (y - 1) / 2) % 2 == 1;
            // Folds across the cloth so it reads as fabric, not a chessboard.
            const double fold = 0.8 + 0.2 * std::cos((x - 3) * kPi / 3.5);
            c.set(x, y, dark ? shade(Rgb{40, 40, 46}, fold) : shade(Rgb{255, 255, 250}, fold));
        }
    return c;
}

Canvas makePathMarker() {
    Canvas c(6, 6, kKey);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const double dx = x - 2.5, dy = y - 2.5, r = std::hypot(dx, dy);
            if (r > 3.1) continue;
            const double light = roundLight(dx, dy, 3);
            Rgb stud = mix(Rgb{206, 150, 20}, Rgb{255, 236, 120}, light);
            if (r < 1.3) stud = mix(stud, Rgb{255, 255, 235}, 0.8);
            c.set(x, y, stud);
        }
    return c;
}

Canvas makeObstacle() {
    // A traffic cone from above: square foot, orange cone with a reflective collar, bright tip.
    Canvas c(12, 12, kKey);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const double dx = x - 5.5, dy = y - 5.5, r = std::hypot(dx, dy);
            const bool foot = std::max(std::abs(dx), std::abs(dy)) < 5.6 && r < 7.0;
            if (!foot) continue;
            Rgb p = mix(Rgb{34, 34, 38}, Rgb{70, 70, 76}, roundLight(dx, dy, 6));
            if (r < 5.2) {
                const double light = roundLight(dx, dy, 5);
                p = mix(Rgb{176, 62, 10}, Rgb{255, 132, 34}, light);
                if (r > 2.2 && r < 3.6) p = mix(Rgb{196, 196, 200}, Rgb{255, 255, 255}, light);
                if (r < 1.2) p = Rgb{255, 196, 120};
            }
            c.set(x, y, p);
        }
    return c;
}

Canvas makeTyre(int frame) {
    constexpr int kWidth = 10, kHeight = 18, kTreadPitch = 6;
    Canvas c(kWidth, kHeight, kKey);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool corner = (x == 0 || x == kWidth - 1) && (y == 0 || y == kHeight - 1);
            if (corner) continue;
            // Rolling forward moves the visible tread up by a third of its pitch each frame.
            const int phase = ((y + 2 * frame) % kTreadPitch + kTreadPitch) % kTreadPitch;
            const bool bar = phase < 3 && x > 0 && x < kWidth - 1;
            const double crown = std::cos((x - (kWidth - 1) / 2.0) / (kWidth / 2.0) * kPi / 2);
            Rgb p = bar ? Rgb{74, 74, 80} : Rgb{34, 34, 38};
            p = shade(p, 0.6 + 0.5 * crown);
            if (x == 0 || x == kWidth - 1) p = Rgb{20, 20, 22};
            c.set(x, y, p);
        }
    return c;
}

Canvas makeLight(bool lit) {
    Canvas c(8, 8, kKey);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const double dx = x - 3.5, dy = y - 3.5, r = std::hypot(dx, dy);
            if (r > 3.9) continue;
            const double glow = 1 - r / 3.9;
            Rgb p = lit ? mix(Rgb{236, 104, 12}, Rgb{255, 248, 196}, glow * glow * 1.4)
                        : mix(Rgb{92, 52, 12}, Rgb{170, 110, 36}, glow);
            if (r > 3.1) p = lit ? Rgb{196, 78, 8} : Rgb{58, 36, 14};
            if (lit && x == 2 && y == 2) p = Rgb{255, 255, 240};
            if (!lit && x == 2 && y == 2) p = Rgb{214, 170, 100};
            c.set(x, y, p);
        }
    return c;
}

namespace {

// The program draws the needle from the hub with (-cos t * 8/3, -sin t) per unit of length, t
// growing from 0 to pi over 0..60 mph; the dial is laid out along those same rays.
constexpr int kHubX = 72, kHubY = 35;
constexpr double kDialRx = 72, kDialRy = 35, kBezel = 3.5;

struct Ray {
    double x, y;
};

Ray needleRay(double mph) {
    const double t = mph * kPi / 60;
    return {-std::cos(t) * 8 / 3, -std::sin(t)};
}

// Needle length at which the ray leaves the dial face.
double faceReach(Ray d) {
    return 1 / std::sqrt(square(d.x / (kDialRx - kBezel)) + square(d.y / (kDialRy - kBezel)));
}

void dialLine(Canvas& c, double mph, double from, double to, Rgb colour, bool thick) {
    const Ray d = needleRay(mph);
    const double reach = faceReach(d);
    const int x0 = static_cast<int>(std::lround(kHubX + d.x * reach * from));
    const int y0 = static_cast<int>(std::lround(kHubY + d.y * reach * from));
    const int x1 = static_cast<int>(std::lround(kHubX + d.x * reach * to));
    const int y1 = static_cast<int>(std::lround(kHubY + d.y * reach * to));
    c.line(x0, y0, x1, y1, colour);
    if (thick) c.line(x0 + 1, y0, x1 + 1, y1, colour);
}

}  // namespace

Canvas makeGauge() {
    Canvas c(150, 40, kKey);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const double dx = x - kHubX, dy = kHubY - y;
            if (dy < 0) {
                // A flat chrome foot under the half dial.
                const int inset = -static_cast<int>(dy);
                if (x < inset || x > 2 * kHubX - inset) continue;
                c.set(x, y, mix(Rgb{150, 154, 164}, Rgb{54, 56, 62}, -dy / 4));
                continue;
            }
            const double e = std::hypot(dx / kDialRx, dy / kDialRy);
            if (e > 1) continue;
            const double gx = dx / square(kDialRx), gy = dy / square(kDialRy);
            const double gradient = std::hypot(gx, gy);
            const double edge = gradient > 0 ? (1 - e) * e / gradient : kDialRy;
            if (edge < kBezel) {
                const double facing = gradient > 0 ? (-0.6 * gx + 0.8 * gy) / gradient : 1;
                Rgb chrome = mix(Rgb{84, 86, 96}, Rgb{240, 242, 248}, 0.5 + 0.5 * facing);
                if (edge < 1 || edge > kBezel - 1) chrome = shade(chrome, 0.55);
                c.set(x, y, chrome);
                continue;
            }
            const double rim = std::clamp((9 - edge) / 6, 0.0, 1.0);
            Rgb face = mix(Rgb{250, 244, 224}, Rgb{206, 196, 168}, rim);
            // Where along the needle's sweep this pixel lies, to paint the red zone as a band.
            const double t = std::atan2(dy, -dx * 3 / 8);
            const double along = std::hypot(dx * 3 / 8, dy) / faceReach(needleRay(t * 60 / kPi));
            if (t >= 50 * kPi / 60 && along > 0.88 && along < 0.97) face = Rgb{214, 44, 30};
            c.set(x, y, face);
        }
    for (int mph = 0; mph <= 60; mph += 5)
        dialLine(c, mph, mph % 10 == 0 ? 0.78 : 0.88, 0.97, Rgb{44, 44, 50}, mph % 10 == 0);
    for (int mph = 0; mph <= 60; mph += 10) {
        const Ray d = needleRay(mph);
        // The sweep is flattest at its ends, so the end labels sit further out to keep apart.
        const double reach = faceReach(d) * (mph % 60 == 0 ? 0.76 : 0.62);
        const std::string label = std::to_string(mph);
        const int x = static_cast<int>(std::lround(kHubX + d.x * reach)) - tinyTextWidth(label) / 2;
        const int y = std::min(static_cast<int>(std::lround(kHubY + d.y * reach)) - 2, 29);
        drawTinyText(c, x, y, label, Rgb{50, 46, 44});
    }
    drawTinyText(c, 46, 29, "MPH", Rgb{160, 40, 30});
    for (int y = kHubY - 4; y <= kHubY + 4; ++y)
        for (int x = kHubX - 5; x <= kHubX + 5; ++x) {
            const double dx = (x - kHubX) / 5.5, dy = (y - kHubY) / 4.5;
            if (dx * dx + dy * dy > 1) continue;
            c.set(x, y, mix(Rgb{120, 22, 18}, Rgb{236, 90, 70}, roundLight(dx, dy, 1)));
        }
    return c;
}
