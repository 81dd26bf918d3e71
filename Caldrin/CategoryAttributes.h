#pragma once

#include "JsonDecoder.h"

#include <QString>

// The primary category of a feed entry.
struct CategoryAttributes {
    QString id;
    QString term;

    static CategoryAttributes decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("im:id"), decoder.decode<QString>("term")};
    }
};
