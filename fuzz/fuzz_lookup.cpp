// Any body must decode into a lookup document or fail with a DecodingError;
// the summary's counting and number printing and the echo must take any result.
#include "DecodingError.h"
#include "iTunesLookupResponse.h"
#include "NumberText.h"
#include "UserCharacters.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    UserCharacters::count(QString::fromUtf8(body));
    try {
        const iTunesLookupResponse document = iTunesLookupResponse::decode(body);
        if (document.results.isEmpty())
            return 0;
        const iTunesAppDetails& details = document.results.first();
        UserCharacters::count(details.description.value_or(QString()));
        NumberText::fromDouble(details.averageUserRating.value_or(0.0));
        NumberText::fromDouble(details.price.value_or(0.0));
        const QByteArray echo = QJsonDocument(details.toJson()).toJson(QJsonDocument::Compact);
        // The echo reads back as the same details.
        if (iTunesLookupResponse::decode(R"({"resultCount":1,"results":[)" + echo + "]}").results.first() !=
            details)
            __builtin_trap();
    } catch (const DecodingError& error) {
        if (error.description().isEmpty())
            __builtin_trap();
    }
    return 0;
}
