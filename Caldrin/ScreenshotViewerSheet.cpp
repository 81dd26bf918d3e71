#include "ScreenshotViewerSheet.h"

#include "BusyIndicator.h"
#include "ButtonStyles.h"
#include "Divider.h"
#include "FittedImageView.h"
#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QEasingCurve>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using Style = TextStyles::Style;

namespace {

constexpr int closeButtonSide = 36;
constexpr int closeButtonMargin = 12;
constexpr int defaultPadding = 16;

// Page order in the stacked image area.
constexpr int imagePage = 0;
constexpr int loadingPage = 1;
constexpr int failurePage = 2;
constexpr int timeoutPage = 3;

const QColor white(255, 255, 255);

// Secondary text on the dark image area.
QColor secondaryOnDark() {
    return QColor(255, 255, 255, 150);
}

double clampZoom(double zoom) {
    // Repeated multiplications drift; keep the value on a fine grid so that
    // 1.1 and back again shows 100%, not 99%.
    const double snapped = std::round(zoom * 1e6) / 1e6;
    return std::clamp(snapped, ScreenshotViewerSheet::minimumZoom, ScreenshotViewerSheet::maximumZoom);
}

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* symbolLabel(const QString& symbol, int side, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(SymbolTable::pixmap(symbol, side, color, parent->devicePixelRatioF()));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QWidget* centredColumn(QWidget* parent, int spacing, const QList<QWidget*>& items,
                       QLayout* trailing = nullptr) {
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(spacing);
    layout->addStretch();
    for (QWidget* item : items)
        layout->addWidget(item, 0, Qt::AlignHCenter);
    if (trailing)
        layout->addLayout(trailing);
    layout->addStretch();
    return page;
}

} // namespace

ScreenshotViewerSheet::ScreenshotViewerSheet(const QString& screenshotURL, const QStringList& allScreenshots,
                                             QWidget* parent, ImageLoader* loader,
                                             std::chrono::milliseconds loadingTimeout)
    : QDialog(parent)
    , m_screenshots(allScreenshots)
    , m_loader(loader ? loader : ImageLoader::shared())
    , m_loadingTimeoutDuration(loadingTimeout) {
    setWindowTitle(QStringLiteral("Screenshots"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(800, 600);
    if (parent && parent->window()) {
        const QSize around = parent->window()->size() * 0.85;
        resize(around.expandedTo(minimumSize()));
    } else {
        resize(960, 720);
    }

    // The image area: black at 0.9 over the window colour.
    const QColor window = SystemColors::windowBackground(palette());
    const QColor dark = QColor::fromRgbF(window.redF() * 0.1, window.greenF() * 0.1, window.blueF() * 0.1);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("imageArea"));
    m_pages->setAutoFillBackground(true);
    QPalette darkPalette = m_pages->palette();
    darkPalette.setColor(QPalette::Window, dark);
    darkPalette.setColor(QPalette::WindowText, white);
    m_pages->setPalette(darkPalette);

    m_scrollArea = new QScrollArea(m_pages);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setAlignment(Qt::AlignCenter);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    // Thin, light scroll bars that sit quietly on the dark background.
    m_scrollArea->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 0; }"
        "QScrollBar:horizontal { background: transparent; height: 10px; margin: 0; }"
        "QScrollBar::handle { background: rgba(255, 255, 255, 90); border-radius: 3px; margin: 2px; }"
        "QScrollBar::handle:vertical { min-height: 30px; }"
        "QScrollBar::handle:horizontal { min-width: 30px; }"
        "QScrollBar::handle:hover { background: rgba(255, 255, 255, 140); }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }"
        "QAbstractScrollArea::corner { background: transparent; }"));
    m_imageView = new FittedImageView;
    m_imageView->setObjectName(QStringLiteral("screenshot"));
    m_scrollArea->setWidget(m_imageView);
    m_imageView->setAutoFillBackground(false); // the dark area shows around the image
    m_pages->insertWidget(imagePage, m_scrollArea);
    m_pages->insertWidget(loadingPage, buildLoadingPage());
    m_pages->insertWidget(failurePage, buildFailurePage());
    m_pages->insertWidget(timeoutPage, buildTimeoutPage());
    for (int i = 0; i < m_pages->count(); ++i)
        watchImageArea(m_pages->widget(i));
    watchImageArea(m_scrollArea->viewport());
    watchImageArea(m_imageView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(new Divider(Qt::Horizontal, this));
    layout->addWidget(m_pages, 1);

    // The close button floats over everything in the top-right corner.
    m_closeButton = new QToolButton(this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setToolTip(QStringLiteral("Close (ESC)"));
    m_closeButton->setFixedSize(closeButtonSide, closeButtonSide);
    m_closeButton->setIcon(SymbolTable::tintedIcon(QStringLiteral("xmark"), white, 16));
    m_closeButton->setIconSize(QSize(16, 16));
    m_closeButton->setCursor(Qt::PointingHandCursor);
    const QColor red = SystemColors::red();
    m_closeButton->setStyleSheet(
        QStringLiteral("QToolButton { background-color: %1; border: none; border-radius: %2px; }"
                       "QToolButton:hover { background-color: %3; }"
                       "QToolButton:pressed { background-color: %4; }")
            .arg(red.name())
            .arg(closeButtonSide / 2)
            .arg(red.lighter(110).name(), red.darker(115).name()));
    auto* shadow = new QGraphicsDropShadowEffect(m_closeButton);
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 2);
    shadow->setColor(QColor(0, 0, 0, 110));
    m_closeButton->setGraphicsEffect(shadow);
    connect(m_closeButton, &QToolButton::clicked, this, &QDialog::reject);

    m_zoomAnimation.setDuration(int(zoomAnimationDuration.count()));
    m_zoomAnimation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_zoomAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { layoutImage(value.toDouble()); });

    connect(m_loader, &ImageLoader::finished, this, &ScreenshotViewerSheet::loadFinished);

    const qsizetype opened = m_screenshots.indexOf(screenshotURL);
    setCurrentIndex(opened < 0 ? 0 : int(opened));
}

QWidget* ScreenshotViewerSheet::buildHeader() {
    auto* header = new QWidget(this);
    header->setAutoFillBackground(true);
    const QPalette& colors = palette();
    const QColor secondary = SystemColors::secondary(colors);
    const QColor symbolColor = colors.color(QPalette::WindowText);
    const int symbolSide = qRound(QFontMetricsF(TextStyles::font(Style::Title2)).height());

    m_positionLabel = new QLabel(header);
    m_positionLabel->setObjectName(QStringLiteral("position"));
    m_positionLabel->setFont(TextStyles::font(Style::Headline));
    QPalette positionPalette = m_positionLabel->palette();
    positionPalette.setColor(QPalette::WindowText, secondary);
    m_positionLabel->setPalette(positionPalette);

    auto symbolButton = [&](const QString& name, const QString& symbol, const QString& tooltip) {
        auto* button = new QToolButton(header);
        button->setObjectName(name);
        ButtonStyles::makeBorderless(button, symbol, symbolColor, symbolSide);
        if (!tooltip.isEmpty())
            button->setToolTip(tooltip);
        return button;
    };
    m_zoomOutButton = symbolButton(QStringLiteral("zoomOut"), QStringLiteral("minus.magnifyingglass"),
                                   QStringLiteral("Zoom out"));
    m_zoomInButton = symbolButton(QStringLiteral("zoomIn"), QStringLiteral("plus.magnifyingglass"),
                                  QStringLiteral("Zoom in"));
    m_resetZoomButton =
        symbolButton(QStringLiteral("resetZoom"), QStringLiteral("arrow.up.left.and.arrow.down.right"),
                     QStringLiteral("Reset zoom"));
    m_previousButton =
        symbolButton(QStringLiteral("previous"), QStringLiteral("chevron.left.circle.fill"), QString());
    m_nextButton =
        symbolButton(QStringLiteral("next"), QStringLiteral("chevron.right.circle.fill"), QString());

    m_zoomLabel = new QLabel(header);
    m_zoomLabel->setObjectName(QStringLiteral("zoomPercent"));
    m_zoomLabel->setFont(TextStyles::font(Style::Caption));
    m_zoomLabel->setFixedWidth(50);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    QPalette zoomPalette = m_zoomLabel->palette();
    zoomPalette.setColor(QPalette::WindowText, secondary);
    m_zoomLabel->setPalette(zoomPalette);
    m_zoomLabel->setText(zoomText());

    auto* zoom = new QHBoxLayout;
    zoom->setSpacing(12);
    zoom->addWidget(m_zoomOutButton);
    zoom->addWidget(m_zoomLabel);
    zoom->addWidget(m_zoomInButton);
    zoom->addWidget(m_resetZoomButton);

    auto* navigation = new QHBoxLayout;
    navigation->setSpacing(16);
    navigation->addWidget(m_previousButton);
    navigation->addWidget(m_nextButton);

    auto* layout = new QHBoxLayout(header);
    // Room on the right for the floating close button.
    layout->setContentsMargins(defaultPadding, defaultPadding / 2, closeButtonSide + 2 * closeButtonMargin,
                               defaultPadding / 2);
    layout->addWidget(m_positionLabel);
    layout->addStretch();
    layout->addLayout(zoom);
    layout->addStretch();
    layout->addLayout(navigation);
    header->setMinimumHeight(closeButtonSide + 2 * closeButtonMargin);

    connect(m_zoomOutButton, &QToolButton::clicked, this, &ScreenshotViewerSheet::zoomOut);
    connect(m_zoomInButton, &QToolButton::clicked, this, &ScreenshotViewerSheet::zoomIn);
    connect(m_resetZoomButton, &QToolButton::clicked, this, &ScreenshotViewerSheet::resetZoom);
    connect(m_previousButton, &QToolButton::clicked, this, &ScreenshotViewerSheet::showPrevious);
    connect(m_nextButton, &QToolButton::clicked, this, &ScreenshotViewerSheet::showNext);
    return header;
}

QWidget* ScreenshotViewerSheet::buildLoadingPage() {
    auto* spinner = new BusyIndicator(36, m_pages);
    spinner->setColor(white);
    return centredColumn(
        m_pages, 16,
        {spinner,
         textLabel(QStringLiteral("Loading screenshot..."), TextStyles::font(Style::Body), white, m_pages),
         textLabel(QStringLiteral("If stuck, click the red X button"), TextStyles::font(Style::Caption),
                   secondaryOnDark(), m_pages)});
}

QWidget* ScreenshotViewerSheet::buildFailurePage() {
    m_failureTryAgain = new QPushButton(QStringLiteral("Try Again"), m_pages);
    m_failureTryAgain->setObjectName(QStringLiteral("failureTryAgain"));
    ButtonStyles::makeProminent(m_failureTryAgain);
    connect(m_failureTryAgain, &QPushButton::clicked, this, &ScreenshotViewerSheet::tryAgain);
    return centredColumn(
        m_pages, 16,
        {symbolLabel(QStringLiteral("exclamationmark.triangle"), 60, SystemColors::red(), m_pages),
         textLabel(QStringLiteral("Failed to load screenshot"), TextStyles::font(Style::Title2), white,
                   m_pages),
         textLabel(QStringLiteral("Click red X button or try again"), TextStyles::font(Style::Caption),
                   secondaryOnDark(), m_pages),
         m_failureTryAgain});
}

QWidget* ScreenshotViewerSheet::buildTimeoutPage() {
    m_timeoutTryAgain = new QPushButton(QStringLiteral("Try Again"), m_pages);
    m_timeoutTryAgain->setObjectName(QStringLiteral("timeoutTryAgain"));
    ButtonStyles::makeProminent(m_timeoutTryAgain);
    m_timeoutClose = new QPushButton(QStringLiteral("Close"), m_pages);
    m_timeoutClose->setObjectName(QStringLiteral("timeoutClose"));
    ButtonStyles::makeBorderedOnDark(m_timeoutClose);
    connect(m_timeoutTryAgain, &QPushButton::clicked, this, &ScreenshotViewerSheet::tryAgain);
    connect(m_timeoutClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    buttons->addStretch();
    buttons->addWidget(m_timeoutTryAgain);
    buttons->addWidget(m_timeoutClose);
    buttons->addStretch();
    return centredColumn(
        m_pages, 20,
        {symbolLabel(QStringLiteral("clock.badge.exclamationmark"), 60, SystemColors::orange(), m_pages),
         textLabel(QStringLiteral("Loading Timeout"), TextStyles::font(Style::Title), white, m_pages),
         textLabel(QStringLiteral("Screenshot is taking too long to load"), TextStyles::font(Style::Body),
                   secondaryOnDark(), m_pages)},
        buttons);
}

void ScreenshotViewerSheet::watchImageArea(QWidget* widget) {
    widget->installEventFilter(this);
}

ScreenshotViewerSheet::Screen ScreenshotViewerSheet::screen() const {
    return m_shownScreen;
}

QString ScreenshotViewerSheet::positionText() const {
    if (m_screenshots.isEmpty())
        return QStringLiteral("0 / 0");
    return QStringLiteral("%1 / %2").arg(m_currentIndex + 1).arg(m_screenshots.size());
}

QString ScreenshotViewerSheet::zoomText() const {
    // Cut to a whole number, with a hair of tolerance for binary fractions.
    return QStringLiteral("%1%").arg(int(std::floor(m_zoomScale * 100 + 1e-9)));
}

void ScreenshotViewerSheet::zoomIn() {
    setZoom(std::min(m_zoomScale + zoomStep, maximumZoom), true);
}

void ScreenshotViewerSheet::zoomOut() {
    setZoom(std::max(m_zoomScale - zoomStep, minimumZoom), true);
}

void ScreenshotViewerSheet::resetZoom() {
    setZoom(1.0, true);
}

void ScreenshotViewerSheet::showPrevious() {
    if (m_currentIndex < 1)
        return;
    setCurrentIndex(m_currentIndex - 1);
    setZoom(1.0, true);
}

void ScreenshotViewerSheet::showNext() {
    if (m_currentIndex >= m_screenshots.size() - 1)
        return;
    setCurrentIndex(m_currentIndex + 1);
    setZoom(1.0, true);
}

void ScreenshotViewerSheet::tryAgain() {
    m_loadingTimeout = false;
    loadCurrent(ImageLoader::Freshness::Reload);
}

void ScreenshotViewerSheet::pinchChanged(double magnification) {
    if (magnification <= 0 || m_lastMagnification <= 0)
        return;
    const double delta = magnification / m_lastMagnification;
    m_lastMagnification = magnification;
    setZoom(m_zoomScale * delta, false);
}

void ScreenshotViewerSheet::pinchEnded() {
    m_lastMagnification = 1.0;
}

void ScreenshotViewerSheet::setCurrentIndex(int index) {
    m_currentIndex = index;
    m_loadingTimeout = false;
    m_positionLabel->setText(positionText());
    m_previousButton->setEnabled(m_currentIndex >= 1);
    m_nextButton->setEnabled(m_currentIndex < m_screenshots.size() - 1);
    loadCurrent(ImageLoader::Freshness::UseCache);
}

void ScreenshotViewerSheet::loadCurrent(ImageLoader::Freshness freshness) {
    m_address = m_currentIndex >= 0 && m_currentIndex < m_screenshots.size() ? m_screenshots[m_currentIndex]
                                                                             : QString();
    ++m_loadSerial;
    m_imageView->setImage(QImage());
    if (m_loader)
        m_loader->request(m_address, this, freshness);
    // Each appearance of the loading screen starts its own time-out; a timer
    // whose load has finished or was replaced does nothing.
    const quint64 serial = m_loadSerial;
    QTimer::singleShot(m_loadingTimeoutDuration, this, [this, serial] {
        if (serial != m_loadSerial || m_loadingTimeout || !m_loader)
            return;
        const ImageLoader::State state = m_loader->state(m_address);
        if (state == ImageLoader::State::Loading || state == ImageLoader::State::Idle) {
            m_loadingTimeout = true;
            showScreen();
        }
    });
    showScreen();
}

void ScreenshotViewerSheet::loadFinished(const QString& address) {
    if (address == m_address)
        showScreen();
}

void ScreenshotViewerSheet::showScreen() {
    Screen screen = Screen::Loading;
    if (m_loadingTimeout) {
        screen = Screen::Timeout;
    } else if (!m_loader) {
        screen = Screen::Failure;
    } else {
        switch (m_loader->state(m_address)) {
        case ImageLoader::State::Loaded:
            if (m_imageView->image().isNull())
                m_imageView->setImage(m_loader->image(m_address));
            screen = Screen::Image;
            break;
        case ImageLoader::State::Failed:
            screen = Screen::Failure;
            break;
        case ImageLoader::State::Idle:
        case ImageLoader::State::Loading:
            screen = Screen::Loading;
            break;
        }
    }
    m_shownScreen = screen;
    switch (screen) {
    case Screen::Image:
        m_pages->setCurrentIndex(imagePage);
        layoutImage(m_displayedZoom);
        break;
    case Screen::Loading:
        m_pages->setCurrentIndex(loadingPage);
        break;
    case Screen::Failure:
        m_pages->setCurrentIndex(failurePage);
        break;
    case Screen::Timeout:
        m_pages->setCurrentIndex(timeoutPage);
        break;
    }
}

void ScreenshotViewerSheet::setZoom(double zoom, bool animated) {
    m_zoomScale = clampZoom(zoom);
    m_zoomLabel->setText(zoomText());
    m_zoomAnimation.stop();
    if (animated && isVisible() && m_displayedZoom != m_zoomScale) {
        m_zoomAnimation.setStartValue(m_displayedZoom);
        m_zoomAnimation.setEndValue(m_zoomScale);
        m_zoomAnimation.start();
    } else {
        layoutImage(m_zoomScale);
    }
}

void ScreenshotViewerSheet::layoutImage(double zoom) {
    // Keep the point in the middle of the view where it is while the size changes.
    QScrollBar* horizontal = m_scrollArea->horizontalScrollBar();
    QScrollBar* vertical = m_scrollArea->verticalScrollBar();
    const QSize viewport = m_scrollArea->viewport()->size();
    const QSize old = m_imageView->size();
    const double fx = old.width() > 0 ? (horizontal->value() + viewport.width() / 2.0) / old.width() : 0.5;
    const double fy = old.height() > 0 ? (vertical->value() + viewport.height() / 2.0) / old.height() : 0.5;
    m_displayedZoom = zoom;
    const QSize area = m_scrollArea->maximumViewportSize();
    const QSize size(qMax(1, qRound(area.width() * zoom)), qMax(1, qRound(area.height() * zoom)));
    m_imageView->resize(size);
    horizontal->setValue(qRound(fx * size.width() - viewport.width() / 2.0));
    vertical->setValue(qRound(fy * size.height() - viewport.height() / 2.0));
}

void ScreenshotViewerSheet::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_closeButton->move(width() - closeButtonMargin - closeButtonSide, closeButtonMargin);
    m_closeButton->raise();
    layoutImage(m_displayedZoom);
}

bool ScreenshotViewerSheet::handleNativeGesture(QNativeGestureEvent* gesture) {
    // Accepted, so that the application does not hand it on to the parents.
    gesture->accept();
    switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
        m_gestureMagnification = 1.0;
        return true;
    case Qt::ZoomNativeGesture: {
        // Qt reports each step's change; the algorithm wants the gesture's total.
        m_gestureMagnification *= 1.0 + gesture->value();
        // Changes below a hundredth wait until they add up.
        if (std::abs(m_gestureMagnification - m_lastMagnification) >= 0.01)
            pinchChanged(m_gestureMagnification);
        return true;
    }
    case Qt::EndNativeGesture:
        m_gestureMagnification = 1.0;
        pinchEnded();
        return true;
    default:
        gesture->ignore();
        return false;
    }
}

bool ScreenshotViewerSheet::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture &&
        handleNativeGesture(static_cast<QNativeGestureEvent*>(event)))
        return true;
    return QDialog::event(event);
}

bool ScreenshotViewerSheet::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        reject();
        return true;
    case QEvent::MouseButtonPress: {
        // A zoomed screenshot can be dragged around.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            (watched == m_imageView || watched == m_scrollArea->viewport())) {
            m_panAnchor = mouse->globalPosition().toPoint();
            m_panScroll = QPoint(m_scrollArea->horizontalScrollBar()->value(),
                                 m_scrollArea->verticalScrollBar()->value());
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (m_panAnchor) {
            const QPoint moved = static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - *m_panAnchor;
            m_scrollArea->horizontalScrollBar()->setValue(m_panScroll.x() - moved.x());
            m_scrollArea->verticalScrollBar()->setValue(m_panScroll.y() - moved.y());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_panAnchor) {
            m_panAnchor.reset();
            return true;
        }
        break;
    case QEvent::NativeGesture:
        if (handleNativeGesture(static_cast<QNativeGestureEvent*>(event)))
            return true;
        break;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const double notches = wheel->angleDelta().y() / 120.0;
            if (notches != 0)
                setZoom(m_zoomScale * std::pow(wheelNotchFactor, notches), false);
            wheel->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* ScreenshotViewerSheet::imageArea() const {
    return m_pages;
}
