// Draws the About box, the support window and a preview box fed one 1280 x 720 gradient
// frame into PNG files, so they can be looked at without running the program.

#include "dialogs/about_dialog.h"
#include "dialogs/support_dialog.h"
#include "ndi_standin/standin_runtime.h"
#include "preview/preview_box.h"
#include "render/gradient.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp"));
    bool ok = true;
    const auto save = [&](QWidget& widget, const char* name) {
        widget.show();
        QApplication::processEvents();
        const QString path = out.filePath(QString::fromLatin1(name));
        const bool saved = widget.grab().save(path);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
        ok = ok && saved;
    };

    AboutDialog about(QStringLiteral("1.0.3.15"), QStringLiteral("Dec-2026"),
                      QString::fromUtf8(standin::kVersionText));
    save(about, "skyfill-about.png");

    SupportDialog support(SupportLinks{QUrl(QStringLiteral("https://www.kovaco.example/")),
                                       QUrl(QStringLiteral("https://shop.kovaco.example/")),
                                       QUrl(QStringLiteral("https://social.kovaco.example/")),
                                       QUrl(QStringLiteral("https://video.kovaco.example/"))},
                          nullptr);
    support.Prepare();
    save(support, "skyfill-support.png");

    std::vector<uint8_t> frame(std::size_t{1280} * 720 * 4);
    GradientParams params;
    params.corners[0] = ColourRecord::FromValue(0xFFBDB500);
    params.corners[1] = ColourRecord::FromValue(0xFF0000CC);
    params.corners[2] = ColourRecord::FromValue(0xFFCC2060);
    params.corners[3] = ColourRecord::FromValue(0xFF20C040);
    RenderGradient(frame.data(), 1280, 720, params);
    PreviewBox preview;
    preview.resize(250, 143);
    preview.InitPreview();
    preview.RefreshAlways(frame.data(), 1280, 720);
    save(preview, "skyfill-preview.png");
    return ok ? 0 : 1;
}
