#pragma once

#include "IDAttributes.h"
#include "JsonDecoder.h"

#include <QString>

// The identity of a feed entry: its address text and identifiers.
struct IDInfo {
    QString label;
    IDAttributes attributes;

    static IDInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<QString>("label"), decoder.decode<IDAttributes>("attributes")};
    }
};
