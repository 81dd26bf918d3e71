#pragma once

#include "JsonDecoder.h"

#include <QString>

// The store identifiers of a feed entry.
struct IDAttributes {
    QString bundleId;
    QString id;

    static IDAttributes decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("im:bundleId"), decoder.decode<QString>("im:id")};
    }
};
