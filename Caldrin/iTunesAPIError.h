#pragma once

#include "DecodingError.h"

#include <QByteArray>
#include <QString>

#include <exception>
#include <optional>

// The feed client's failure. Printed as its case name followed, for the two
// cases with a payload, by the underlying error's printed form in
// parentheses: "networkError(Connection refused)", "invalidURL".
class iTunesAPIError : public std::exception {
public:
    enum class Case { networkError, decodingError, invalidURL, noData };

    // The transfer failed, or decoding failed for another reason than the
    // document itself; carries that error's printed form.
    static iTunesAPIError networkError(const QString& underlying);
    static iTunesAPIError decodingError(const DecodingError& underlying);
    static iTunesAPIError invalidURL();
    // Declared for completeness; nothing raises it.
    static iTunesAPIError noData();

    Case errorCase() const { return m_case; }
    const std::optional<DecodingError>& underlyingDecodingError() const { return m_decodingError; }
    QString description() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    iTunesAPIError(Case errorCase, const QString& underlying, std::optional<DecodingError> decodingError);

    Case m_case;
    QString m_underlying;
    std::optional<DecodingError> m_decodingError;
    QByteArray m_what;
};
