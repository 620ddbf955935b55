#pragma once

#include <QPixmap>
#include <cstdint>

// One of the program's own pictures as a pixmap; a null pixmap for an unknown id.
QPixmap ResourcePixmap(uint16_t id);
