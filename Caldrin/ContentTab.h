#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// The main window's tabs, in the order the picker shows them.
enum class ContentTab { general, favorites };

// Every tab in declaration order.
inline constexpr std::array<ContentTab, 2> allContentTabs{ContentTab::general, ContentTab::favorites};

// The tab's text: "General", "Favorites".
QString rawValue(ContentTab tab);
std::optional<ContentTab> contentTabFromRawValue(const QString& text);

inline std::size_t qHash(ContentTab tab, std::size_t seed = 0) noexcept {
    return static_cast<std::size_t>(tab) ^ seed;
}
