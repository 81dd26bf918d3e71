#pragma once

#include "CategoryAttributes.h"
#include "JsonDecoder.h"

#include <QString>

// The category of a feed entry.
struct CategoryInfo {
    CategoryAttributes attributes;

    static CategoryInfo decode(const JsonDecoder& decoder) {
        return {decoder.decode<CategoryAttributes>("attributes")};
    }
};
