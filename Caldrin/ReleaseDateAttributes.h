#pragma once

#include "JsonDecoder.h"

#include <QString>

// The release date of a feed entry as display text.
struct ReleaseDateAttributes {
    QString label;

    static ReleaseDateAttributes decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label")};
    }
};
