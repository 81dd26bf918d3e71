#pragma once

#include "JsonDecoder.h"

#include <QString>

// The height of a feed image, as text.
struct ImageAttributes {
    QString height;

    static ImageAttributes decode(const JsonDecoder& decoder) { return {decoder.decode<QString>("height")}; }
};
