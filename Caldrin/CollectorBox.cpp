#include "CollectorBox.h"

#include "AppCollectorService.h"
#include "AppIndex.h"
#include "AppModel.h"
#include "BusyIndicator.h"
#include "ButtonStyles.h"
#include "DateText.h"
#include "DetailsFetchQueue.h"
#include "Divider.h"
#include "ModelContext.h"
#include "StoreError.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {

constexpr int kMiniIndicator = 12;

QLabel* captionLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(TextStyles::font(Style::Caption, parent->font()));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void colorText(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

CollectorBox::CollectorBox(AppIndex& index, QWidget* parent)
    : QWidget(parent)
    , m_index(index) {
    setObjectName(QStringLiteral("collectorBox"));
    auto* layout = new QVBoxLayout(this);
    // The default inner margin of a group box.
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(itemSpacing);

    auto* heading = new QLabel(QStringLiteral("App Collector"), this);
    heading->setFont(TextStyles::font(Style::Headline, font()));
    layout->addWidget(heading);

    m_details = new QWidget(this);
    auto* details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(itemSpacing);
    layout->addWidget(m_details);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    m_startStop = new QPushButton(QStringLiteral("Start Collecting"), m_details);
    m_startStop->setObjectName(QStringLiteral("startStopButton"));
    styleStartStop(false);
    m_fetchNow = new QPushButton(QStringLiteral("Fetch Now"), m_details);
    m_fetchNow->setObjectName(QStringLiteral("fetchNowButton"));
    ButtonStyles::disableAutoDefault(m_fetchNow);
    buttons->addWidget(m_startStop);
    buttons->addWidget(m_fetchNow);
    buttons->addStretch(1);
    details->addLayout(buttons);

    // "&&": a single ampersand would mark a mnemonic and vanish.
    m_reset = new QPushButton(QStringLiteral("Reset && Reload"), m_details);
    m_reset->setObjectName(QStringLiteral("resetButton"));
    ButtonStyles::makeBordered(m_reset, SystemColors::orange());
    details->addWidget(m_reset, 0, Qt::AlignLeft);

    details->addWidget(new Divider(Qt::Horizontal, m_details));

    auto* status = new QVBoxLayout;
    status->setSpacing(statusSpacing);
    m_status = captionLabel(m_details);
    m_lastFetch = captionLabel(m_details);
    m_total = captionLabel(m_details);
    status->addWidget(m_status);
    status->addWidget(m_lastFetch);
    status->addWidget(m_total);
    status->addWidget(new Divider(Qt::Horizontal, m_details));

    m_queueProgress = new QWidget(m_details);
    auto* progress = new QHBoxLayout(m_queueProgress);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->setSpacing(6);
    m_queueIndicator = new BusyIndicator(kMiniIndicator, m_queueProgress);
    m_queueIndicator->setColor(SystemColors::blue());
    m_queueMessage = captionLabel(m_queueProgress);
    colorText(m_queueMessage, SystemColors::blue());
    progress->addWidget(m_queueIndicator, 0, Qt::AlignTop);
    progress->addWidget(m_queueMessage, 1);
    status->addWidget(m_queueProgress);
    m_queueStatus = captionLabel(m_details);
    status->addWidget(m_queueStatus);
    details->addLayout(status);

    connect(m_startStop, &QPushButton::clicked, this, &CollectorBox::toggleCollecting);
    connect(m_fetchNow, &QPushButton::clicked, this, &CollectorBox::fetchNow);
    connect(m_reset, &QPushButton::clicked, this, &CollectorBox::resetRequested);
    connect(&m_index, &AppIndex::updated, this, &CollectorBox::refreshTotal);
    connect(&m_index, &AppIndex::ready, this, &CollectorBox::refreshTotal);
    connect(&m_index, &AppIndex::countedBeforeReady, this, &CollectorBox::refreshTotal);
    updateColors();
    refresh();
}

void CollectorBox::setCollector(AppCollectorService* collector) {
    if (m_collector == collector)
        return;
    if (m_collector) {
        disconnect(m_collector, nullptr, this, nullptr);
        disconnect(&m_collector->detailsQueue(), nullptr, this, nullptr);
        disconnect(&m_collector->modelContext(), nullptr, this, nullptr);
    }
    m_collector = collector;
    if (collector) {
        connect(collector, &AppCollectorService::changed, this, &CollectorBox::refresh);
        connect(&collector->detailsQueue(), &DetailsFetchQueue::changed, this, &CollectorBox::refresh);
        // Until the index is in, the count is taken again after each save.
        connect(&collector->modelContext(), &ModelContext::didSave, this, [this] {
            if (!m_index.isReady()) {
                m_countBeforeIndex.reset();
                m_savedBeforeIndex = true;
                refreshTotal();
            }
        });
    }
    refresh();
}

std::optional<qint64> CollectorBox::totalCollected() {
    if (m_index.isReady())
        return m_index.appCount();
    if (!m_countBeforeIndex) {
        ModelContext& context = m_collector ? m_collector->modelContext() : m_index.context();
        // Counting a million rows here would hold up the window's first paint;
        // the index's reader counts them at start.
        if (!m_savedBeforeIndex && &context == &m_index.context())
            return m_index.countBeforeReady();
        try {
            m_countBeforeIndex = context.count<AppModel>();
        } catch (const StoreError&) {
            m_countBeforeIndex = 0;
        }
    }
    return *m_countBeforeIndex;
}

void CollectorBox::refreshTotal() {
    if (!m_collector)
        return;
    const std::optional<qint64> total = totalCollected();
    m_total->setText(QStringLiteral("Total collected: ") +
                     (total ? QString::number(*total) : QStringLiteral("…")));
}

void CollectorBox::refresh() {
    m_details->setVisible(m_collector);
    if (!m_collector)
        return;
    const bool collecting = m_collector->isCollecting();
    if (collecting != m_showsStop || m_startStop->text().isEmpty()) {
        m_showsStop = collecting;
        m_startStop->setText(collecting ? QStringLiteral("Stop Collecting")
                                        : QStringLiteral("Start Collecting"));
        ButtonStyles::makeProminent(m_startStop, collecting ? SystemColors::red() : SystemColors::blue());
        // Narrower than usual: both buttons share the sidebar's width.
        m_startStop->setStyleSheet(m_startStop->styleSheet() +
                                   QStringLiteral("QPushButton { padding: 5px 8px; }"));
    }
    m_fetchNow->setEnabled(!collecting);
    m_reset->setEnabled(!collecting);

    // The messages may hold a name from the feeds, of any length; these
    // wrapped lines lay out only its start.
    m_status->setText(QStringLiteral("Status: ") + UserCharacters::shortened(m_collector->statusMessage()));
    const auto& lastFetch = m_collector->lastFetchDate();
    m_lastFetch->setVisible(lastFetch.has_value());
    m_lastFetch->setText(lastFetch
                             ? QStringLiteral("Last fetch: ") + DateText::abbreviatedDateShortTime(*lastFetch)
                             : QString());
    refreshTotal();

    const DetailsFetchQueue& queue = m_collector->detailsQueue();
    const bool processing = queue.isProcessing();
    m_queueProgress->setVisible(processing);
    m_queueStatus->setVisible(!processing);
    m_queueMessage->setText(processing ? UserCharacters::shortened(queue.statusMessage()) : QString());
    m_queueStatus->setText(
        processing ? QString() : QStringLiteral("Queue: ") + UserCharacters::shortened(queue.queueStatus()));
}

void CollectorBox::styleStartStop(bool collecting) {
    m_showsStop = collecting;
    m_startStop->setText(collecting ? QStringLiteral("Stop Collecting") : QStringLiteral("Start Collecting"));
    ButtonStyles::makeProminent(m_startStop, collecting ? SystemColors::red() : SystemColors::blue());
    // Narrower than usual: both buttons share the sidebar's width.
    m_startStop->setStyleSheet(m_startStop->styleSheet() +
                               QStringLiteral("QPushButton { padding: 5px 8px; }"));
}

void CollectorBox::toggleCollecting() {
    if (m_collector)
        startOrStop(*m_collector);
}

void CollectorBox::startOrStop(AppCollectorService& collector) {
    if (collector.isCollecting())
        collector.stopCollecting();
    else
        collector.startCollecting();
}

void CollectorBox::fetchNow() {
    if (m_collector)
        startFetch(*m_collector);
}

void CollectorBox::startFetch(AppCollectorService& collector) {
    QTimer::singleShot(0, &collector, [&collector] { collector.fetchNewApps(); });
}

QString CollectorBox::statusText() const {
    return m_collector ? m_status->text() : QString();
}

QString CollectorBox::lastFetchText() const {
    return m_collector ? m_lastFetch->text() : QString();
}

QString CollectorBox::totalText() const {
    return m_collector ? m_total->text() : QString();
}

QString CollectorBox::queueText() const {
    if (!m_collector)
        return {};
    return m_collector->detailsQueue().isProcessing() ? m_queueMessage->text() : m_queueStatus->text();
}

bool CollectorBox::showsQueueProgress() const {
    return m_collector && m_collector->detailsQueue().isProcessing();
}

void CollectorBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateColors();
}

void CollectorBox::updateColors() {
    const QColor secondary = SystemColors::secondary(palette());
    for (QLabel* label : {m_status, m_lastFetch, m_total, m_queueStatus})
        colorText(label, secondary);
}

void CollectorBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::windowBackground(palette()));
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}
