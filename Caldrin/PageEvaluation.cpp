#include "PageEvaluation.h"

#include <QCoreApplication>
#include <QWebEngineScript>

PageEvaluation::PageEvaluation(QWebEnginePage* page, QString script, World world)
    : m_page(page)
    , m_script(std::move(script))
    , m_world(world) {}

void PageEvaluation::await_suspend(std::coroutine_handle<> waiting) {
    const quint32 worldId =
        m_world == World::Page ? QWebEngineScript::MainWorld : QWebEngineScript::ApplicationWorld;
    std::shared_ptr<Answer> answer = m_answer;
    m_page->runJavaScript(wrapped(m_script), worldId, [answer, waiting](const QVariant& value) {
        answer->answered = true;
        answer->value = value;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiting] { waiting.resume(); }, Qt::QueuedConnection);
    });
}

PageEvaluation::Outcome PageEvaluation::await_resume() const {
    // A page that is gone, or went while the evaluation waited, has answered nothing.
    if (!m_page || !m_answer->answered) {
        Outcome gone;
        gone.pageGone = true;
        gone.error = QStringLiteral("The page is gone");
        return gone;
    }
    return outcomeOf(m_answer->value);
}

QString PageEvaluation::wrapped(const QString& script) {
    // The script is an expression; its value is the evaluation's value. String()
    // itself may have been replaced by the page (main world), hence the inner guard.
    return QStringLiteral("(function () {\n"
                          "try {\n"
                          "return { ok: true, value: (\n") +
           script +
           QStringLiteral("\n) };\n"
                          "} catch (error) {\n"
                          "let text = 'JavaScript exception';\n"
                          "try { text = String(error); } catch (ignored) {}\n"
                          "return { ok: false, error: text };\n"
                          "}\n"
                          "})()");
}

PageEvaluation::Outcome PageEvaluation::outcomeOf(const QVariant& answer) {
    Outcome outcome;
    const QVariantMap map = answer.toMap();
    const QVariant ok = map.value(QStringLiteral("ok"));
    if (answer.typeId() != QMetaType::QVariantMap || ok.typeId() != QMetaType::Bool) {
        // The wrapper itself did not come back: the page broke something it relies on.
        outcome.error = QStringLiteral("JavaScript execution returned a result of an unsupported type");
        return outcome;
    }
    outcome.ok = ok.toBool();
    if (outcome.ok)
        outcome.value = map.value(QStringLiteral("value"));
    else
        outcome.error = map.value(QStringLiteral("error")).toString();
    return outcome;
}
