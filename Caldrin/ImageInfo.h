#pragma once

#include "ImageAttributes.h"
#include "JsonDecoder.h"

#include <QString>

// One image of a feed entry: its address and height.
struct ImageInfo {
    QString label;
    ImageAttributes attributes;

    static ImageInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label"), decoder.decode<ImageAttributes>("attributes")};
    }
};
