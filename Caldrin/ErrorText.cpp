#include "ErrorText.h"

#include "DecodingError.h"
#include "iTunesAPIError.h"
#include "StoreError.h"
#include "TransferError.h"
#include "WebKitNavigationError.h"

QString ErrorText::describe(const std::exception& error) {
    if (const auto* store = dynamic_cast<const StoreError*>(&error))
        return store->description();
    if (const auto* transfer = dynamic_cast<const TransferError*>(&error))
        return transfer->description();
    if (const auto* decoding = dynamic_cast<const DecodingError*>(&error))
        return decoding->description();
    if (const auto* navigation = dynamic_cast<const WebKitNavigationError*>(&error))
        return navigation->description();
    if (const auto* feed = dynamic_cast<const iTunesAPIError*>(&error))
        return feed->description();
    return QString::fromUtf8(error.what());
}
