#include "resources/generator/drawings.h"

#include "resources/generator/block_text.h"
#include "resources/generator/clouds.h"
#include "resources/generator/shapes.h"

#include <algorithm>
#include <cmath>

namespace picture_maker {

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

} // namespace picture_maker
