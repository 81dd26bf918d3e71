#pragma once

#include "Feed.h"
#include "JsonDecoder.h"

#include <QString>

// A ranking feed document of the store, decoded whole or not at all.
struct iTunesRSSResponse {
    Feed feed;

    // Parses and decodes a whole response body; throws DecodingError.
    static iTunesRSSResponse decode(const QByteArray& json) { return decode(JsonDecoder::parse(json)); }

    static iTunesRSSResponse decode(const JsonDecoder& decoder) { return {decoder.decode<Feed>("feed")}; }
};
