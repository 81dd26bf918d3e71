#pragma once

#include "ArtistInfo.h"
#include "CategoryInfo.h"
#include "IDInfo.h"
#include "ImageInfo.h"
#include "JsonDecoder.h"
#include "LabelValue.h"
#include "LinkInfo.h"
#include "PriceInfo.h"
#include "ReleaseDateInfo.h"

#include <optional>
#include <QList>
#include <QString>

// One ranked app of a feed document. Every value stays text, as the feed sends it.
struct AppEntry {
    LabelValue name;
    ArtistInfo artist;
    PriceInfo price;
    QList<ImageInfo> images;
    LabelValue title;
    LinkInfo link;
    IDInfo id;
    CategoryInfo category;
    ReleaseDateInfo releaseDate;
    std::optional<LabelValue> rights;

    static AppEntry decode(const JsonDecoder& decoder) {
        return {decoder.decode<LabelValue>("im:name"),
                decoder.decode<ArtistInfo>("im:artist"),
                decoder.decode<PriceInfo>("im:price"),
                decoder.decode<QList<ImageInfo>>("im:image"),
                decoder.decode<LabelValue>("title"),
                decoder.decode<LinkInfo>("link"),
                decoder.decode<IDInfo>("id"),
                decoder.decode<CategoryInfo>("category"),
                decoder.decode<ReleaseDateInfo>("im:releaseDate"),
                decoder.decodeIfPresent<LabelValue>("rights")};
    }
};
