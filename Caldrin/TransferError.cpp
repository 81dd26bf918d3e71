#include "TransferError.h"

TransferError::TransferError(Kind kind, const QString& description)
    : m_kind(kind)
    , m_description(description)
    , m_what(description.toUtf8()) {}
