#pragma once

#include "JsonDecoder.h"
#include "LinkAttributes.h"

#include <QString>

// The link of a feed entry (a single object, not a list).
struct LinkInfo {
    LinkAttributes attributes;

    static LinkInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<LinkAttributes>("attributes")};
    }
};
