#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWebEnginePage>

#include <coroutine>
#include <memory>

// Evaluates one script in a page and suspends the awaiting coroutine until the
// answer comes:  PageEvaluation::Outcome outcome = co_await PageEvaluation(page, script, world);
//
// The engine hands back an invalid value alike for null, undefined and a thrown
// exception, so the script runs inside a wrapper that catches and reports what
// it threw: a failure carries the exception's own text ("TypeError: ..."), and
// null or undefined come back as an absent (invalid) value.
//
// The coroutine is always resumed from the event loop, never from inside the
// engine's callback: the engine also answers pending evaluations, with nothing,
// while a page is being destroyed. An evaluation in a page that is gone (or goes
// while it waits) ends with pageGone set.
class PageEvaluation {
public:
    enum class World {
        Page,     // the page's own scripts' world: sees its globals and anything they changed
        Isolated, // a world of our own over the same document: the page's scripts cannot reach it
    };

    struct Outcome {
        bool ok = false;
        QVariant value; // when ok; invalid for null and undefined
        QString error;  // when not ok
        bool pageGone = false;
    };

    PageEvaluation(QWebEnginePage* page, QString script, World world);

    bool await_ready() const noexcept { return !m_page; }
    void await_suspend(std::coroutine_handle<> waiting);
    Outcome await_resume() const;

    // The script inside the reporting wrapper.
    static QString wrapped(const QString& script);
    static Outcome outcomeOf(const QVariant& answer);

private:
    struct Answer {
        bool answered = false;
        QVariant value;
    };

    QPointer<QWebEnginePage> m_page;
    QString m_script;
    World m_world;
    std::shared_ptr<Answer> m_answer = std::make_shared<Answer>();
};
