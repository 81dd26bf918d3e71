#pragma once

#include "ArtistAttributes.h"
#include "JsonDecoder.h"

#include <optional>
#include <QString>

// The developer of a feed entry: name, and the store page when the feed gives one.
struct ArtistInfo {
    QString label;
    std::optional<ArtistAttributes> attributes;

    static ArtistInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label"), decoder.decodeIfPresent<ArtistAttributes>("attributes")};
    }
};
