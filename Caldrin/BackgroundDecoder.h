#pragma once

#include <QByteArray>
#include <QtConcurrent/QtConcurrentRun>

#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <exception>
#include <optional>

// Decodes a response body into a document type on a pool thread, so that a
// large body never stalls the main thread, and hands the document (or the
// decoder's exception, unchanged) back to the awaiting coroutine on the
// caller's thread. Document must have `static Document decode(const QByteArray&)`.
class BackgroundDecoder {
public:
    template <class Document> static QCoro::Task<Document> decode(QByteArray body) {
        // QFuture passes on only QException types, so the worker carries any
        // exception back by hand.
        struct Outcome {
            std::optional<Document> document;
            std::exception_ptr error;
        };
        const auto work = [body]() {
            Outcome result;
            try {
                result.document.emplace(Document::decode(body));
            } catch (...) {
                result.error = std::current_exception();
            }
            return result;
        };
        // Named, not a temporary inside the co_await: g++ 12 destroys such
        // temporaries twice.
        const QFuture<Outcome> future = QtConcurrent::run(work);
        Outcome outcome = co_await future;
        if (outcome.error)
            std::rethrow_exception(outcome.error);
        co_return std::move(*outcome.document);
    }
};
