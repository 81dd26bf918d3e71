#pragma once

#include "iTunesAppDetails.h"
#include "JsonDecoder.h"

#include <QByteArray>
#include <QList>

// A document of the store's lookup service: the reported count and the results
// in the service's order. Both keys are required.
struct iTunesLookupResponse {
    qint64 resultCount = 0;
    QList<iTunesAppDetails> results;

    // Parses and decodes a whole response body; throws DecodingError.
    static iTunesLookupResponse decode(const QByteArray& json) { return decode(JsonDecoder::parse(json)); }

    static iTunesLookupResponse decode(const JsonDecoder& decoder) {
        return {decoder.decode<qint64>("resultCount"), decoder.decode<QList<iTunesAppDetails>>("results")};
    }
};
