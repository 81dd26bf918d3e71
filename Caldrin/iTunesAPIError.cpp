#include "iTunesAPIError.h"

iTunesAPIError::iTunesAPIError(Case errorCase, const QString& underlying,
                               std::optional<DecodingError> decodingError)
    : m_case(errorCase)
    , m_underlying(underlying)
    , m_decodingError(std::move(decodingError))
    , m_what(description().toUtf8()) {}

iTunesAPIError iTunesAPIError::networkError(const QString& underlying) {
    return iTunesAPIError(Case::networkError, underlying, std::nullopt);
}

iTunesAPIError iTunesAPIError::decodingError(const DecodingError& underlying) {
    return iTunesAPIError(Case::decodingError, underlying.description(), underlying);
}

iTunesAPIError iTunesAPIError::invalidURL() {
    return iTunesAPIError(Case::invalidURL, QString(), std::nullopt);
}

iTunesAPIError iTunesAPIError::noData() {
    return iTunesAPIError(Case::noData, QString(), std::nullopt);
}

QString iTunesAPIError::description() const {
    switch (m_case) {
    case Case::networkError:
        return QStringLiteral("networkError(%1)").arg(m_underlying);
    case Case::decodingError:
        return QStringLiteral("decodingError(%1)").arg(m_underlying);
    case Case::invalidURL:
        return QStringLiteral("invalidURL");
    case Case::noData:
        break;
    }
    return QStringLiteral("noData");
}
