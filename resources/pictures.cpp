#include "resources/pictures.h"

#include "imageio/image_decoder.h"

#include <QString>

bool LoadResourcePicture(uint16_t id, PixelPicture& out) {
    return imageio::DecodeImageFile(QStringLiteral(":/skyfill/pictures/%1.png").arg(id), out);
}

bool LoadResourceBitmap(ImageBuffer& buffer, uint16_t id) {
    PixelPicture picture;
    if (!LoadResourcePicture(id, picture)) {
        return false;
    }
    return buffer.AttachResourceBitmap(id, std::move(picture));
}
