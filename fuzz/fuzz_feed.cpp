// Any body must decode into a feed document or fail with a DecodingError,
// never crash or misbehave; the entry-conversion parsers must take any text.
#include "CLocaleNumber.h"
#include "DecodingError.h"
#include "InternetDateTime.h"
#include "iTunesRSSResponse.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(body);
    CLocaleNumber::parseDouble(text);
    InternetDateTime::parse(text);
    try {
        const iTunesRSSResponse document = iTunesRSSResponse::decode(body);
        for (const AppEntry& entry : document.feed.entry) {
            CLocaleNumber::parseDouble(entry.price.attributes.amount);
            InternetDateTime::parse(entry.releaseDate.label);
            if (!entry.images.isEmpty())
                (void)entry.images.last().label.size();
        }
    } catch (const DecodingError& error) {
        if (error.description().isEmpty())
            __builtin_trap(); // every failure says where and what
    }
    return 0;
}
