#pragma once

#include "JsonDecoder.h"

#include <QString>

// The store page address of a feed entry.
struct LinkAttributes {
    QString href;

    static LinkAttributes decode(const JsonDecoder& decoder) { return {decoder.decode<QString>("href")}; }
};
