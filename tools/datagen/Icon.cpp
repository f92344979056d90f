// The application icon: a car on a bend of road through a meadow, seen from above.
#include "Art.h"

#include <algorithm>
#include <cmath>

namespace {

// Coverage of a pixel by a shape given as a signed distance (negative inside), for soft edges.
double cover(double distance) {
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

double roundedBox(double x, double y, double cx, double cy, double halfW, double halfH, double r) {
    const double qx = std::abs(x - cx) - halfW + r, qy = std::abs(y - cy) - halfH + r;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

// The road's centre line: a gentle S from the bottom edge to the top, in units of the icon size.
double roadCentre(double v) {
    return 0.5 + 0.16 * std::sin((v - 0.5) * 4.4);
}

}  // namespace

Canvas makeIcon(int size) {
    Canvas c(size, size, kKey);
    const double s = size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5, u = px / s, v = py / s;
            const double tile = roundedBox(px, py, s / 2, s / 2, s / 2 - 0.5, s / 2 - 0.5, s * 0.2);
            // Hard edges: the key is all-or-nothing transparency.
            if (tile > 0) continue;
            Rgb p = mix(Rgb{120, 196, 80}, Rgb{52, 128, 52}, v);
            const double fromRoad = std::abs(u - roadCentre(v)) * s;
            const double halfRoad = s * 0.17;
            p = mix(p, Rgb{222, 214, 186}, cover(fromRoad - halfRoad - s * 0.03));
            p = mix(p, mix(Rgb{96, 98, 106}, Rgb{66, 68, 76}, v), cover(fromRoad - halfRoad));
            const bool dash = std::fmod(v * 7 + 0.25, 1.0) < 0.5;
            if (dash) p = mix(p, Rgb{250, 236, 120}, cover(fromRoad - s * 0.025));
            // The tile's rim darkens slightly, so that it stands out on a light panel.
            p = mix(p, shade(p, 0.7), cover(-(tile + s * 0.035)));
            c.set(x, y, p);
        }
    // The car, on the road near the bottom and heading up, with its tyres and windscreen.
    const double cx = roadCentre(0.7) * s - s * 0.06, cy = s * 0.7;
    const double halfW = s * 0.09, halfH = s * 0.15;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            Rgb p = c.get(x, y);
            for (const double side : {-1.0, 1.0})
                for (const double end : {-0.6, 0.6}) {
                    const double tyre = roundedBox(px, py, cx + side * halfW, cy + end * halfH,
                                                   s * 0.03, s * 0.045, s * 0.015);
                    p = mix(p, Rgb{28, 28, 32}, cover(tyre));
                }
            const double body = roundedBox(px, py, cx, cy, halfW, halfH, s * 0.05);
            const double light = std::clamp(0.5 - (px - cx) / (2 * halfW), 0.0, 1.0);
            p = mix(p, mix(Rgb{150, 20, 16}, Rgb{236, 56, 40}, light), cover(body));
            const double glass =
                roundedBox(px, py, cx, cy - halfH * 0.3, halfW * 0.7, halfH * 0.22, s * 0.02);
            p = mix(p, Rgb{150, 200, 236}, cover(glass));
            if (cover(body) > 0) c.set(x, y, p);
        }
    return c;
}
