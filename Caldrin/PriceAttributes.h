#pragma once

#include "JsonDecoder.h"

#include <QString>

// The price of a feed entry as the feed writes it: amount (text) and currency code.
struct PriceAttributes {
    QString amount;
    QString currency;

    static PriceAttributes decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("amount"), decoder.decode<QString>("currency")};
    }
};
