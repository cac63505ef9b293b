#include "MoonPicture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

struct Mare {
    double u, v, radius; // on the disc, in units of the moon's radius; v grows downwards
};

// The dark plains of the near side, roughly where they lie, each made of a few overlapping patches so that
// its outline is not a plain circle; the face stays the same from day to day.
constexpr std::array<Mare, 18> kMaria{{
    {-0.32, -0.38, 0.26},
    {-0.16, -0.30, 0.18}, // Imbrium
    {0.12, -0.36, 0.16},  // Serenitatis
    {0.28, -0.06, 0.18},
    {0.20, 0.06, 0.12},  // Tranquillitatis
    {0.64, -0.30, 0.11}, // Crisium
    {0.50, 0.16, 0.12},
    {0.44, 0.30, 0.08}, // Fecunditatis
    {0.30, 0.32, 0.10}, // Nectaris
    {-0.58, -0.02, 0.22},
    {-0.50, 0.20, 0.20}, // Procellarum
    {-0.40, 0.04, 0.18},
    {-0.62, -0.24, 0.14},
    {-0.22, 0.44, 0.14}, // Nubium
    {-0.46, 0.46, 0.10}, // Humorum
    {-0.18, -0.64, 0.09},
    {0.00, -0.67, 0.09}, // Frigoris
    {0.18, -0.64, 0.08},
}};

struct Colour {
    double r, g, b;
};

constexpr Colour kLit{238, 233, 212};
constexpr Colour kDark{36, 42, 58};
constexpr Colour kRim{200, 208, 228}; // light enough to read on a dark panel
constexpr Colour kEdge{16, 18, 26};   // the disc's outline, for light panels

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Brightness of the sunlit surface at (u, v): a little darker towards the limb and on the maria, never below
// 0.7 so that lit ground always stands well clear of the dark side.
double litShade(double u, double v) {
    const double mu = std::sqrt(std::max(0.0, 1 - u * u - v * v));
    // Soft patches that run into each other where they overlap; 0 on the highlands .. 1 inside a mare.
    double mare = 0;
    for (const Mare &patch : kMaria) {
        const double d = std::hypot(u - patch.u, v - patch.v) / patch.radius;
        mare += std::exp(-1.6 * d * d);
    }
    return (0.86 + 0.14 * mu) * (1 - 0.17 * smoothstep(0.15, 0.9, mare));
}

} // namespace

QImage drawMoonPicture(int lunarDay, int size, double rimWidth) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    // Day 1 is the new moon and the cycle has 28 days, so the phase angle runs 0 (new) .. pi (full, day 15)
    // .. 2 pi. The terminator is the half-ellipse x = cos(angle) * sqrt(1 - y^2): waxing, the light lies to
    // its right; waning, to the left of its mirror image.
    const double angle = 2 * std::numbers::pi * ((lunarDay - 1) % 28) / 28.0;
    const bool waxing = angle <= std::numbers::pi;
    const double terminator = std::cos(angle);

    const double centre = size / 2.0;
    const double radius = size / 2.0 - 0.5;
    // Both in units of the radius, on the dark part only: the outer edge, then the rim inside it. The lit
    // ground keeps the whole disc, so that the thinnest crescent still shows.
    const double edge = 0.4 * rimWidth / radius;
    const double rim = edge + rimWidth / radius;
    constexpr int kSamples = 6; // per pixel and axis

    for (int py = 0; py < size; ++py) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(py));
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, covered = 0;
            // The surface changes slowly across a pixel: one shade, taken at its centre, serves all its
            // samples.
            double shade = -1;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (px + (sx + 0.5) / kSamples - centre) / radius;
                    const double v = (py + (sy + 0.5) / kSamples - centre) / radius;
                    const double rr = u * u + v * v;
                    if (rr > 1)
                        continue;
                    const double halfChord = std::sqrt(1 - v * v);
                    const bool lit = waxing ? u >= terminator * halfChord : u <= -terminator * halfChord;
                    const double fromLimb = 1 - std::sqrt(rr);
                    Colour c = kDark;
                    if (lit) {
                        if (shade < 0)
                            shade = litShade((px + 0.5 - centre) / radius, (py + 0.5 - centre) / radius);
                        c = {kLit.r * shade, kLit.g * shade, kLit.b * shade};
                    } else if (fromLimb < edge) {
                        c = kEdge;
                    } else if (fromLimb < rim) {
                        c = kRim;
                    }
                    r += c.r;
                    g += c.g;
                    b += c.b;
                    covered += 1;
                }
            }
            if (covered == 0)
                continue;
            const double n = kSamples * kSamples;
            // Premultiplied: each channel is the sum over covered samples divided by all samples.
            line[px] = qRgba(int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n)),
                             int(std::lround(255 * covered / n)));
        }
    }
    return image;
}
