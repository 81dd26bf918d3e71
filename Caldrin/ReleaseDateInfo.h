#pragma once

#include "JsonDecoder.h"
#include "ReleaseDateAttributes.h"

#include <optional>
#include <QString>

// The release date of a feed entry: an internet date-time text and, optionally, display text.
struct ReleaseDateInfo {
    QString label;
    std::optional<ReleaseDateAttributes> attributes;

    static ReleaseDateInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label"),
                decoder.decodeIfPresent<ReleaseDateAttributes>("attributes")};
    }
};
