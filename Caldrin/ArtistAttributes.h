#pragma once

#include "JsonDecoder.h"

#include <QString>

// The developer's store page address.
struct ArtistAttributes {
    QString href;

    static ArtistAttributes decode(const JsonDecoder& decoder) { return {decoder.decode<QString>("href")}; }
};
