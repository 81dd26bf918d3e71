#include "ContentTab.h"

QString rawValue(ContentTab tab) {
    switch (tab) {
    case ContentTab::general:
        return QStringLiteral("General");
    case ContentTab::favorites:
        return QStringLiteral("Favorites");
    }
    return {};
}

std::optional<ContentTab> contentTabFromRawValue(const QString& text) {
    for (const ContentTab tab : allContentTabs) {
        if (rawValue(tab) == text)
            return tab;
    }
    return std::nullopt;
}
