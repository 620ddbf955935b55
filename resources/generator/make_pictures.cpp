// Draws the program's pictures and writes them as PNG files named <id>.png into the
// folder given on the command line. Everything is procedural and seeded, so every
// build produces the same pictures.

#include <QImage>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Colour {
    double r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Gradient noise on an integer lattice with hashed gradient directions.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_seed(seed) {}

    double At(double x, double y) const {
        const double fx = std::floor(x);
        const double fy = std::floor(y);
        const auto ix = static_cast<int32_t>(fx);
        const auto iy = static_cast<int32_t>(fy);
        const double dx = x - fx;
        const double dy = y - fy;
        const double u = Fade(dx);
        const double v = Fade(dy);
        const double n00 = Corner(ix, iy, dx, dy);
        const double n10 = Corner(ix + 1, iy, dx - 1, dy);
        const double n01 = Corner(ix, iy + 1, dx, dy - 1);
        const double n11 = Corner(ix + 1, iy + 1, dx - 1, dy - 1);
        const double a = n00 + (n10 - n00) * u;
        const double b = n01 + (n11 - n01) * u;
        return a + (b - a) * v;
    }

    // Fractal sum, roughly in -1..1.
    double Fbm(double x, double y, int octaves, double gain = 0.5) const {
        double sum = 0;
        double amplitude = 1;
        double norm = 0;
        for (int i = 0; i < octaves; ++i) {
            sum += amplitude * At(x, y);
            norm += amplitude;
            amplitude *= gain;
            // Rotate a little between octaves so the lattice does not show.
            const double nx = 1.6 * x + 1.2 * y + 17.3;
            const double ny = -1.2 * x + 1.6 * y + 5.1;
            x = nx;
            y = ny;
        }
        return 1.6 * sum / norm;
    }

private:
    static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

    uint32_t Hash(int32_t x, int32_t y) const {
        uint32_t h = m_seed ^ (static_cast<uint32_t>(x) * 0x27D4EB2Du) ^
                     (static_cast<uint32_t>(y) * 0x165667B1u);
        h ^= h >> 15;
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
        return h;
    }

    double Corner(int32_t ix, int32_t iy, double dx, double dy) const {
        static const std::array<std::array<double, 2>, 8> kDirections = {{{1, 0},
                                                                          {-1, 0},
                                                                          {0, 1},
                                                                          {0, -1},
                                                                          {0.7071, 0.7071},
                                                                          {-0.7071, 0.7071},
                                                                          {0.7071, -0.7071},
                                                                          {-0.7071, -0.7071}}};
        const auto& g = kDirections[Hash(ix, iy) & 7];
        return g[0] * dx + g[1] * dy;
    }

    uint32_t m_seed;
};

struct CloudStyle {
    uint32_t seed;
    double featurePixels; // size of the largest cloud shapes
    double coverage;      // density threshold: lower means more cloud
    double softness;
    int alphaMin;
    int alphaMax;
};

// Semi-transparent clouds: a warped fractal density, cut into billows by a soft
// threshold, lit from above. Alpha is stretched to exactly alphaMin..alphaMax.
QImage MakeClouds(int w, int h, const CloudStyle& style) {
    const Noise shape(style.seed);
    const Noise warp(style.seed * 7 + 1);
    const Noise detail(style.seed * 13 + 2);
    std::vector<double> density(static_cast<std::size_t>(w) * h);
    std::vector<double> shade(density.size());
    auto field = [&](double px, double py) {
        const double x = px / style.featurePixels;
        const double y = py / style.featurePixels;
        const double wx = warp.Fbm(x * 0.8, y * 0.8, 3);
        const double wy = warp.Fbm(x * 0.8 + 31.7, y * 0.8 + 11.3, 3);
        return shape.Fbm(x + 0.4 * wx, y + 0.4 * wy, 6, 0.5);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double n = field(x, y);
            const double billow = SmoothStep(style.coverage, style.coverage + style.softness, n);
            const double grain = 0.8 + 0.2 * detail.Fbm(x / 24.0, y / 24.0, 3);
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            density[i] = billow * grain;
            // Denser just above than here means this spot is on the cloud's underside.
            const double above = field(x, y - style.featurePixels * 0.03);
            shade[i] = Clamp01((above - n) * 6.0);
        }
    }
    const auto [lo, hi] = std::minmax_element(density.begin(), density.end());
    const double low = *lo;
    const double range = std::max(*hi - low, 1e-9);
    QImage image(w, h, QImage::Format_ARGB32);
    const Colour sunlit{255, 255, 255};
    const Colour shadow{196, 203, 218};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const double t = (density[i] - low) / range;
            const int alpha = style.alphaMin +
                              static_cast<int>(std::lround(t * (style.alphaMax - style.alphaMin)));
            const Colour c = Mix(sunlit, shadow, shade[i] * (0.4 + 0.6 * t));
            row[x] =
                qRgba(static_cast<int>(c.r), static_cast<int>(c.g), static_cast<int>(c.b), alpha);
        }
    }
    return image;
}

// A 5 x 7 block font for the few letters the pictures spell.
const char* Glyph(char c) {
    switch (c) {
    case 'S':
        return ".####"
               "#...."
               "#...."
               ".###."
               "....#"
               "....#"
               "####.";
    case 'K':
        return "#...#"
               "#..#."
               "#.#.."
               "##..."
               "#.#.."
               "#..#."
               "#...#";
    case 'Y':
        return "#...#"
               "#...#"
               ".#.#."
               "..#.."
               "..#.."
               "..#.."
               "..#..";
    case 'F':
        return "#####"
               "#...."
               "#...."
               "####."
               "#...."
               "#...."
               "#....";
    case 'I':
        return ".###."
               "..#.."
               "..#.."
               "..#.."
               "..#.."
               "..#.."
               ".###.";
    case 'L':
        return "#...."
               "#...."
               "#...."
               "#...."
               "#...."
               "#...."
               "#####";
    default:
        return nullptr;
    }
}

// Whether (x, y) lies on text drawn with its top-left at (left, top) and cells of `cell`.
bool OnText(const char* text, double left, double top, double cell, double x, double y) {
    const double gx = (x - left) / cell;
    const double gy = (y - top) / cell;
    if (gx < 0 || gy < 0 || gy >= 7) {
        return false;
    }
    const int letter = static_cast<int>(gx / 6);
    const int column = static_cast<int>(gx) - letter * 6;
    if (letter >= static_cast<int>(std::char_traits<char>::length(text)) || column >= 5) {
        return false;
    }
    const char* glyph = Glyph(text[letter]);
    return glyph != nullptr && glyph[static_cast<int>(gy) * 5 + column] == '#';
}

double TextWidth(const char* text, double cell) {
    return (6.0 * static_cast<double>(std::char_traits<char>::length(text)) - 1) * cell;
}

// Coverage of `inside` over a pixel, by 4 x 4 supersampling.
double Coverage(int x, int y, const std::function<bool(double, double)>& inside) {
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
        }
    }
    return hits / 16.0;
}

// Signed distance to a rounded rectangle centred at (cx, cy).
double RoundedBox(double x, double y, double cx, double cy, double halfW, double halfH,
                  double radius) {
    const double qx = std::abs(x - cx) - (halfW - radius);
    const double qy = std::abs(y - cy) - (halfH - radius);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// A puffy cloud silhouette made of overlapping discs, scaled by `s` around (cx, cy).
bool OnCloudShape(double x, double y, double cx, double cy, double s) {
    const double discs[][3] = {{-1.0, 0.25, 0.55},
                               {-0.35, -0.2, 0.7},
                               {0.4, -0.05, 0.6},
                               {1.0, 0.3, 0.45},
                               {0.0, 0.35, 0.55}};
    for (const auto& d : discs) {
        if (std::hypot(x - (cx + d[0] * s), y - (cy + d[1] * s)) < d[2] * s) {
            return y < cy + 0.6 * s;
        }
    }
    return false;
}

Colour Over(Colour below, Colour above, double coverage) {
    return Mix(below, above, coverage);
}

QRgb Opaque(Colour c) {
    return qRgb(static_cast<int>(std::lround(std::clamp(c.r, 0.0, 255.0))),
                static_cast<int>(std::lround(std::clamp(c.g, 0.0, 255.0))),
                static_cast<int>(std::lround(std::clamp(c.b, 0.0, 255.0))));
}

// A small sky scene: gradient, sun, one cloud and optionally a word.
Colour SkyScene(int x, int y, int w, int h, const char* word) {
    const Colour top{36, 92, 178};
    const Colour horizon{150, 205, 240};
    Colour c = Mix(top, horizon, static_cast<double>(y) / h);
    const double sunX = w * 0.22;
    const double sunY = h * 0.38;
    const double sunR = h * 0.2;
    c = Over(c, {255, 214, 92}, Coverage(x, y, [&](double px, double py) {
                 return std::hypot(px - sunX, py - sunY) < sunR;
             }));
    c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                 return OnCloudShape(px, py, w * 0.38, h * 0.52, h * 0.22);
             }));
    if (word != nullptr) {
        const double cell = std::max(1.0, std::floor(h * 0.06));
        const double left = (w - TextWidth(word, cell)) / 2;
        const double topY = h * 0.74;
        c = Over(c, {18, 40, 92}, Coverage(x, y, [&](double px, double py) {
                     return OnText(word, left + cell * 0.15, topY + cell * 0.15, cell, px, py);
                 }));
        c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                     return OnText(word, left, topY, cell, px, py);
                 }));
    }
    return c;
}

QImage Opaque(int w, int h, const std::function<Colour(int, int)>& pixel) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, Opaque(pixel(x, y)));
        }
    }
    return image;
}

// Logo: a sky badge with a sun, a cloud and the name, its edge fading out over a few
// pixels to full transparency at the picture's border.
QImage MakeLogo() {
    const int w = 240;
    const int h = 92;
    QImage image(w, h, QImage::Format_ARGB32);
    const double fade = 7.0;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double d =
                RoundedBox(x + 0.5, y + 0.5, w / 2.0, h / 2.0, w / 2.0 - fade, h / 2.0 - fade, 26);
            const double alpha = 1.0 - SmoothStep(-1.0, fade, d);
            Colour c = Mix({28, 70, 160}, {120, 190, 240}, static_cast<double>(y) / h);
            c = Over(c, {255, 210, 80}, Coverage(x, y, [&](double px, double py) {
                         return std::hypot(px - 46, py - 38) < 20;
                     }));
            c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                         return OnCloudShape(px, py, 58, 52, 17);
                     }));
            const double cell = 3;
            const double left = 96;
            const double top = 35;
            c = Over(c, {16, 36, 84}, Coverage(x, y, [&](double px, double py) {
                         return OnText("SKYFILL", left + 1, top + 1, cell, px, py);
                     }));
            c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                         return OnText("SKYFILL", left, top, cell, px, py);
                     }));
            const int a = static_cast<int>(std::lround(255 * Clamp01(alpha)));
            const QRgb o = Opaque(c);
            row[x] = qRgba(qRed(o), qGreen(o), qBlue(o), a);
        }
    }
    return image;
}

// The support picture: the default four-corner look with clouds, and the name.
QImage MakeSupportPicture() {
    const int w = 640;
    const int h = 360;
    const QImage clouds = MakeClouds(w, h, {190u, 150.0, 0.05, 0.35, 0, 160});
    const Colour corners[4] = {{0, 181, 189}, {198, 0, 191}, {190, 185, 0}, {204, 0, 0}};
    return Opaque(w, h, [&](int x, int y) {
        const double u = static_cast<double>(x) / (w - 1);
        const double v = static_cast<double>(y) / (h - 1);
        Colour c = Mix(Mix(corners[0], corners[1], u), Mix(corners[2], corners[3], u), v);
        const QRgb cloud = clouds.pixel(x, y);
        c = Over(c, {double(qRed(cloud)), double(qGreen(cloud)), double(qBlue(cloud))},
                 qAlpha(cloud) / 255.0);
        const double cell = 10;
        const double left = (w - TextWidth("SKYFILL", cell)) / 2;
        const double top = (h - 7 * cell) / 2;
        c = Over(c, {20, 20, 40}, Coverage(x, y, [&](double px, double py) {
                     return OnText("SKYFILL", left + 3, top + 3, cell, px, py);
                 }));
        c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                     return OnText("SKYFILL", left, top, cell, px, py);
                 }));
        return c;
    });
}

// Link icons: a rounded tile with a symbol, on the dialog's grey or on white.
QImage MakeIcon(int w, int h, Colour tile, bool people, Colour background) {
    return Opaque(w, h, [&](int x, int y) {
        Colour c = background;
        c = Over(c, tile, Coverage(x, y, [&](double px, double py) {
                     return RoundedBox(px, py, w / 2.0, h / 2.0, w / 2.0 - 1, h / 2.0 - 1, 5) < 0;
                 }));
        c = Over(c, {255, 255, 255}, Coverage(x, y, [&](double px, double py) {
                     if (people) {
                         const bool heads = std::hypot(px - w * 0.38, py - h * 0.36) < h * 0.14 ||
                                            std::hypot(px - w * 0.64, py - h * 0.4) < h * 0.12;
                         const bool shoulders =
                             (std::hypot(px - w * 0.38, py - h * 0.86) < h * 0.3 ||
                              std::hypot(px - w * 0.64, py - h * 0.86) < h * 0.26) &&
                             py < h * 0.8;
                         return heads || shoulders;
                     }
                     // A play triangle pointing right.
                     const double cx = w * 0.42;
                     const double half = h * 0.26;
                     const double dy = std::abs(py - h / 2.0);
                     return px > cx && px < cx + 2 * half * (1 - dy / half) * 0.9 && dy < half;
                 }));
        return c;
    });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Colour dialogGrey{240, 240, 240};
    const Colour white{255, 255, 255};
    const std::pair<int, QImage> pictures[] = {
        {134, MakeLogo()},
        {137, MakeClouds(1280, 720, {137u, 260.0, 0.02, 0.30, 0, 111})},
        {139, MakeClouds(1920, 1080, {139u, 420.0, -0.15, 0.45, 12, 126})},
        {190, MakeSupportPicture()},
        {140, Opaque(64, 48, [](int x, int y) { return SkyScene(x, y, 64, 48, nullptr); })},
        {141, MakeIcon(38, 29, {59, 89, 152}, true, dialogGrey)},
        {142, MakeIcon(38, 29, {205, 32, 31}, false, dialogGrey)},
        {195, MakeIcon(38, 29, {59, 89, 152}, true, white)},
        {196, MakeIcon(38, 29, {205, 32, 31}, false, white)},
    };
    for (const auto& [id, image] : pictures) {
        const QString path = folder + QStringLiteral("/%1.png").arg(id);
        if (image.isNull() || !image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
