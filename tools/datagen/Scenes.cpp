// The full-width bitmaps: title banner, driving ground with dashboard, and the tuning panel.
#include "Art.h"
#include "Rng.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

double smoothstep(double edge0, double edge1, double v) {
    const double t = std::clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

struct Stop {
    double at;
    Rgb colour;
};

Rgb gradient(const std::vector<Stop>& stops, double t) {
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].at)
            return mix(stops[i - 1].colour, stops[i].colour,
                       (t - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
    return stops.back().colour;
}

// Per-pixel grain of +-amount around 1, so flat colours look like a material.
double grain(int x, int y, std::uint32_t seed, double amount) {
    return 1 + amount * (2 * latticeValue(x, y, seed) - 1);
}

// Sunk into the surface: dark edge on the top and left, light on the bottom and right.
void insetFrame(Canvas& c, int x0, int y0, int x1, int y1, Rgb inside) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) c.set(x, y, shade(inside, grain(x, y, 71, 0.03)));
    c.line(x0, y0, x1, y0, Rgb{14, 16, 20});
    c.line(x0, y0, x0, y1, Rgb{14, 16, 20});
    c.line(x0 + 1, y0 + 1, x1 - 1, y0 + 1, shade(inside, 0.6));
    c.line(x0 + 1, y0 + 1, x0 + 1, y1 - 1, shade(inside, 0.6));
    c.line(x0, y1, x1, y1, Rgb{122, 130, 144});
    c.line(x1, y0, x1, y1, Rgb{122, 130, 144});
}

void screw(Canvas& c, int cx, int cy) {
    for (int y = -2; y <= 2; ++y)
        for (int x = -2; x <= 2; ++x)
            if (x * x + y * y <= 5)
                c.set(cx + x, cy + y, mix(Rgb{170, 172, 180}, Rgb{60, 62, 68}, (x + y + 4) / 8.0));
    c.line(cx - 1, cy + 1, cx + 1, cy - 1, Rgb{40, 40, 44});
}

}  // namespace

Canvas makeLogo() {
    constexpr int kW = 800, kH = 100, kHorizon = 62;
    constexpr double kVanishX = 630;
    Canvas c(kW, kH, Rgb{});
    const std::vector<Stop> sky = {
        {0, {22, 18, 58}}, {0.45, {104, 48, 116}}, {0.8, {228, 106, 92}}, {1, {255, 184, 108}}};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            Rgb p;
            if (y < kHorizon) {
                p = gradient(sky, static_cast<double>(y) / kHorizon);
                const double sun = std::hypot(x - kVanishX, y - kHorizon);
                p = mix(p, Rgb{255, 214, 140}, 0.55 * std::exp(-sun / 70));
                if (sun < 30) p = mix(Rgb{255, 246, 170}, Rgb{255, 120, 84}, (y - 32.0) / 30);
                const double far = kHorizon - 9 - 14 * fractalNoise(x / 110.0, 0.5, 4, 11);
                const double near = kHorizon - 3 - 9 * fractalNoise(x / 60.0, 3.5, 4, 12);
                if (y > far) p = mix(p, Rgb{96, 56, 112}, 0.75);
                if (y > near) p = mix(Rgb{48, 32, 70}, Rgb{70, 44, 86}, (y - near) / 10);
            } else {
                const double depth = y - kHorizon + 0.5;
                const double rows = std::fmod(90 / depth, 1.0);
                p = mix(Rgb{70, 96, 58}, Rgb{28, 62, 34}, depth / (kH - kHorizon));
                p = shade(p, (rows < 0.5 ? 1.0 : 0.86) * grain(x, y, 13, 0.06));
                const double t = 1 - depth / (kH - kHorizon);
                // The road bends gently right as it nears the horizon.
                const double centre = kVanishX + 36 * t * t - 7 * (1 - t);
                const double half = 1.5 + 160 * (1 - t);
                const double off = std::abs(x - centre) / half;
                if (off < 1) {
                    p = shade(Rgb{64, 62, 72}, grain(x, y, 14, 0.08));
                    if (off > 0.9) p = rows < 0.5 ? Rgb{236, 236, 240} : Rgb{214, 40, 36};
                    if (off < 0.035 + 0.5 / half && rows < 0.45) p = Rgb{255, 214, 64};
                }
            }
            c.set(x, y, p);
        }
    Lettering title;
    title.scale = 6;
    title.top = {255, 250, 210};
    title.upperMiddle = {255, 206, 70};
    title.lowerMiddle = {206, 96, 20};
    title.bottom = {255, 186, 64};
    title.outline = {34, 14, 40};
    title.outlineWidth = 2.5;
    title.shadowDx = 4;
    title.shadowDy = 4;
    title.shadowAlpha = 0.6;
    drawLettering(c, 26, 7, "ROADSIM", title);
    Lettering subtitle = title;
    subtitle.scale = 2;
    subtitle.top = subtitle.upperMiddle = {250, 248, 236};
    subtitle.lowerMiddle = subtitle.bottom = {200, 214, 230};
    subtitle.outline = {18, 26, 22};
    subtitle.outlineWidth = 1.2;
    subtitle.shadowDx = subtitle.shadowDy = 2;
    drawLettering(c, 24, 74, "autopilot driving simulation", subtitle);
    return c;
}

namespace {

constexpr int kDashTop = 440;  // the dashboard band: screen rows 540..599

void paintGrass(Canvas& c) {
    for (int y = 0; y < kDashTop; ++y)
        for (int x = 0; x < c.width(); ++x) {
            const double lush = fractalNoise(x / 90.0, y / 90.0, 4, 21);
            const double fine = fractalNoise(x / 9.0, y / 9.0, 2, 22);
            Rgb p = mix(Rgb{60, 104, 44}, Rgb{100, 140, 62}, smoothstep(0.25, 0.75, lush));
            p = shade(p, 0.9 + 0.2 * fine);
            const double dirt = smoothstep(0.62, 0.7, fractalNoise(x / 160.0, y / 160.0, 3, 23));
            p = mix(p, shade(Rgb{132, 110, 76}, 0.85 + 0.3 * fine), dirt * 0.85);
            c.set(x, y, shade(p, grain(x, y, 24, 0.05)));
        }
    Rng rng(25);
    for (int i = 0; i < 1400; ++i) {
        const int x = rng.below(c.width()), y = rng.below(kDashTop - 4);
        const Rgb base = c.get(x, y);
        const int lean = rng.below(3) - 1;
        const int height = 2 + rng.below(3);
        const Rgb blade = rng.below(2) ? shade(base, 0.7) : mix(base, Rgb{170, 200, 110}, 0.4);
        c.line(x, y, x + lean, y - height, blade);
    }
    for (int i = 0; i < 90; ++i) {
        const int x = rng.below(c.width()), y = rng.below(kDashTop - 4);
        const Rgb petal = rng.below(3) ? Rgb{250, 250, 236} : Rgb{255, 220, 80};
        c.set(x, y, petal);
        c.set(x + 1, y, shade(petal, 0.8));
    }
    for (int i = 0; i < 60; ++i) {
        const int x = rng.below(c.width()), y = rng.below(kDashTop - 4);
        c.set(x, y, Rgb{150, 146, 138});
        c.set(x + 1, y, Rgb{104, 100, 94});
        c.set(x, y + 1, Rgb{90, 86, 80});
    }
    // The dashboard's shadow across the last rows of grass.
    for (int y = kDashTop - 8; y < kDashTop; ++y)
        for (int x = 0; x < c.width(); ++x)
            c.set(x, y, shade(c.get(x, y), 1 - 0.45 * smoothstep(kDashTop - 8, kDashTop, y)));
}

void paintDashboard(Canvas& c) {
    for (int y = kDashTop; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const double t = static_cast<double>(y - kDashTop) / (c.height() - kDashTop);
            const double leather = fractalNoise(x / 2.5, y / 2.5, 2, 31);
            Rgb p = mix(Rgb{62, 64, 72}, Rgb{26, 27, 31}, t);
            c.set(x, y, shade(p, 0.92 + 0.16 * leather));
        }
    c.line(0, kDashTop, c.width() - 1, kDashTop, Rgb{176, 180, 190});
    c.line(0, kDashTop + 1, c.width() - 1, kDashTop + 1, Rgb{120, 124, 134});
    c.line(0, kDashTop + 2, c.width() - 1, kDashTop + 2, Rgb{86, 88, 98});
    c.line(0, kDashTop + 5, c.width() - 1, kDashTop + 5, Rgb{20, 20, 24});
    c.line(0, kDashTop + 6, c.width() - 1, kDashTop + 6, Rgb{78, 80, 90});
    // A recess behind the speed dial, whose foot sits on the bottom edge.
    for (int y = kDashTop + 12; y < c.height(); ++y)
        for (int x = 0; x < 156; ++x) {
            const double e = std::hypot((x - 72) / 80.0, (y - 497) / 40.0);
            if (e < 1) c.set(x, y, shade(c.get(x, y), e > 0.95 ? 0.4 : 0.7));
        }
    // An air vent on the right.
    for (int y = kDashTop + 16; y <= kDashTop + 46; y += 5) {
        c.line(620, y, 760, y, Rgb{12, 12, 14});
        c.line(620, y + 1, 760, y + 1, Rgb{16, 16, 18});
        c.line(620, y + 2, 760, y + 2, Rgb{90, 92, 100});
    }
    for (const int x : {170, 560, 790}) {
        screw(c, x, kDashTop + 14);
        screw(c, x, c.height() - 10);
    }
}

// The car seen from above, under the wheels and roof lights the program draws on top.
void paintCar(Canvas& c) {
    constexpr double kCentre = 399.5, kHalf = 17, kNose = kDashTop - 8;
    const Rgb paint{196, 34, 38};
    for (int y = static_cast<int>(kNose); y < c.height(); ++y)
        for (int x = 376; x <= 424; ++x) {
            const double dx = x - kCentre, dy = y - kNose;
            const double half =
                dy < 12 ? kHalf - 12 + std::sqrt(144 - (12 - dy) * (12 - dy)) : kHalf;
            if (std::abs(dx) > half) continue;
            const double across = dx / half;
            Rgb p = shade(paint, 0.7 + 0.45 * std::cos(across * 1.4));
            if (std::abs(across) > 0.88) p = shade(paint, 0.45);
            if (std::abs(dx) < 1.5 && dy < 20) p = shade(paint, 1.25);
            const bool glass = std::abs(across) < 0.78 - 0.01 * (y - 452);
            if (y >= 452 && y <= 459 && glass)
                p = mix(Rgb{30, 44, 60}, Rgb{120, 150, 170}, dx > 2 && dx < 6 ? 0.6 : 0.1);
            if (y >= 486 && y <= 492 && std::abs(across) < 0.72) p = Rgb{34, 46, 60};
            c.set(x, y, p);
        }
    for (const int x : {388, 408}) c.box(x, 434, x + 3, 436, Rgb{255, 250, 210});
    c.box(385, 458, 413, 469, Rgb{30, 30, 34});
    c.line(385, 458, 413, 458, Rgb{90, 90, 96});
    // Wheel wells, a pixel wider than the tyres drawn into them.
    for (const int y0 : {439, 479})
        for (const int x0 : {379, 409}) c.box(x0, y0, x0 + 11, y0 + 19, Rgb{24, 22, 24});
}

}  // namespace

Canvas makeGround() {
    Canvas c(800, 500, Rgb{});
    paintGrass(c);
    paintDashboard(c);
    paintCar(c);
    return c;
}

namespace {

struct Slider {
    const char* name;
    const char* raise;
    const char* lower;
};

constexpr Slider kSliders[] = {
    {"heading", "a +", "z -"},   {"track", "s +", "x -"}, {"path", "d +", "c -"},
    {"threshold", "f +", "v -"}, {"avoid", "g +", "b -"},
};

// Knob top-left runs from row kTopRow (value 1) down to kBottomRow (value 0), in bitmap rows.
constexpr int kFirstKnobX = 50, kKnobSpacing = 100, kTopRow = 147, kBottomRow = 337;

const Rgb kLabel{255, 204, 96};
const Rgb kInk{214, 220, 230};
const Rgb kShadow{8, 10, 14};

void paintSlider(Canvas& c, int index) {
    const Slider& s = kSliders[index];
    const int cx = kFirstKnobX + index * kKnobSpacing + kPointerWidth / 2;
    const int top = kTopRow + kPointerHeight / 2, bottom = kBottomRow + kPointerHeight / 2;
    c.centredText(cx, 100, s.name, kLabel, kShadow);
    c.centredText(cx, top - 22, s.raise, kInk, kShadow);
    c.centredText(cx, bottom + 15, s.lower, kInk, kShadow);
    for (int tick = 0; tick <= 10; ++tick) {
        const int y = bottom - (bottom - top) * tick / 10;
        const int length = tick % 5 == 0 ? 9 : 5;
        const Rgb mark = tick % 5 == 0 ? Rgb{200, 206, 218} : Rgb{130, 136, 150};
        c.line(cx - 23 - length, y, cx - 23, y, mark);
        // The ends are numbered instead, so the figures don't read as "-1" and "-0".
        if (tick % 10 != 0) c.line(cx + 22, y, cx + 22 + length, y, mark);
    }
    c.shadowedText(cx + 24, top - 4, "1", kInk, kShadow);
    c.shadowedText(cx + 24, bottom - 4, "0", kInk, kShadow);
    c.box(cx - 4, top - 4, cx + 3, bottom + 4, Rgb{10, 10, 12});
    c.line(cx - 4, bottom + 4, cx + 3, bottom + 4, Rgb{120, 126, 140});
    c.line(cx + 3, top - 4, cx + 3, bottom + 4, Rgb{120, 126, 140});
    c.line(cx - 3, top - 3, cx - 3, bottom + 3, Rgb{22, 22, 26});
    c.line(cx - 1, top, cx, top, Rgb{40, 40, 46});
}

}  // namespace

Canvas makeControlPanel() {
    Canvas c(800, 500, Rgb{});
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            // Brushed metal: noise stretched along the rows.
            const double brush = fractalNoise(x / 60.0, y / 1.5, 3, 41);
            const Rgb base = mix(Rgb{70, 78, 90}, Rgb{40, 44, 54}, static_cast<double>(y) / 500);
            c.set(x, y, shade(base, 0.9 + 0.2 * brush));
        }
    c.line(0, 0, c.width() - 1, 0, Rgb{150, 158, 172});
    for (const int x : {10, 789})
        for (const int y : {12, 488}) screw(c, x, y);
    insetFrame(c, 16, 84, 544, 384, Rgb{30, 34, 42});
    for (int i = 0; i < 5; ++i) paintSlider(c, i);
    c.centredText(280, 400, "upper key raises, lower key lowers", Rgb{160, 168, 182}, kShadow);

    insetFrame(c, 560, 84, 786, 470, Rgb{26, 30, 38});
    Lettering heading;
    heading.scale = 1.6;
    heading.top = {255, 246, 200};
    heading.upperMiddle = {255, 210, 90};
    heading.lowerMiddle = {220, 130, 40};
    heading.bottom = {255, 190, 90};
    heading.outline = {20, 14, 10};
    heading.outlineWidth = 1;
    heading.shadowDx = heading.shadowDy = 1;
    drawLettering(c, 572, 94, "AUTOPILOT TUNING", heading);
    c.line(570, 112, 776, 112, Rgb{110, 90, 50});
    struct Help {
        const char* name;
        const char* lines[2];
    };
    const Help help[] = {
        {"heading", {"weight of heading error"}},
        {"track", {"weight of cross-track", "distance"}},
        {"path", {"blend: path following", "vs. obstacle avoidance"}},
        {"threshold", {"weakest obstacle sensed"}},
        {"avoid", {"weight of obstacle", "avoidance"}},
    };
    int y = 124;
    for (const Help& h : help) {
        c.shadowedText(572, y, h.name, kLabel, kShadow);
        y += 11;
        for (const char* line : h.lines)
            if (line) {
                c.shadowedText(588, y, line, kInk, kShadow);
                y += 11;
            }
        y += 5;
    }
    c.line(570, y + 3, 776, y + 3, Rgb{110, 90, 50});
    y += 15;
    for (const char* keys : {"Enter: drive", "Esc:   back here", "r:     reset car"}) {
        c.shadowedText(572, y, keys, Rgb{170, 230, 170}, kShadow);
        y += 13;
    }
    return c;
}
