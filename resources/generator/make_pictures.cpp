// Draws the program's pictures and writes them as PNG files named <id>.png into the
// folder given on the command line. Everything is procedural and seeded, so every
// build produces the same pictures.

#include "resources/generator/clouds.h"
#include "resources/generator/drawings.h"
#include "resources/picture_ids.h"

#include <QImage>
#include <QString>
#include <cstdio>
#include <utility>

using picture_maker::Colour;
using picture_maker::MakeClouds;
using picture_maker::MakeIcon;
using picture_maker::MakeLogo;
using picture_maker::MakeSupportPicture;
using picture_maker::Opaque;
using picture_maker::SkyScene;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Colour dialogGrey{240, 240, 240};
    const Colour white{255, 255, 255};
    const std::pair<int, QImage> pictures[] = {
        {picture::kLogo, MakeLogo()},
        {picture::kClouds720, MakeClouds(1280, 720, {137u, 260.0, 0.02, 0.30, 0, 111})},
        {picture::kClouds1080, MakeClouds(1920, 1080, {139u, 420.0, -0.15, 0.45, 12, 126})},
        {picture::kSupport, MakeSupportPicture()},
        {picture::kProgram,
         Opaque(64, 48, [](int x, int y) { return SkyScene(x, y, 64, 48, nullptr); })},
        {picture::kSocialIcon, MakeIcon(38, 29, {59, 89, 152}, true, dialogGrey)},
        {picture::kVideoIcon, MakeIcon(38, 29, {205, 32, 31}, false, dialogGrey)},
        {picture::kSocialIconOnWhite, MakeIcon(38, 29, {59, 89, 152}, true, white)},
        {picture::kVideoIconOnWhite, MakeIcon(38, 29, {205, 32, 31}, false, white)},
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
