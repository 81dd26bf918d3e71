#pragma once

#include "JsonDecoder.h"
#include "PriceAttributes.h"

#include <QString>

// The price of a feed entry: display text and its attributes.
struct PriceInfo {
    QString label;
    PriceAttributes attributes;

    static PriceInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label"), decoder.decode<PriceAttributes>("attributes")};
    }
};
