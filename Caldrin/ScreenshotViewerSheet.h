#pragma once

#include "ImageLoader.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QVariantAnimation>

#include <chrono>
#include <optional>

class FittedImageView;
class QLabel;
class QNativeGestureEvent;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;

// Shows an app's screenshots one at a time, large, on a dark background: the
// position, zoom buttons with the zoom in per cent, pinch and Ctrl+wheel zoom,
// previous and next, and screens for loading, failure and a load that takes
// too long, each with a way out. The red button, Escape and a double click on
// the image area close it. A window-modal sheet that deletes itself when closed.
class ScreenshotViewerSheet : public QDialog {
    Q_OBJECT
public:
    enum class Screen { Image, Loading, Failure, Timeout };

    static constexpr double minimumZoom = 0.5;
    static constexpr double maximumZoom = 4.0;
    static constexpr double zoomStep = 0.25;
    // One notch of a mouse wheel (120 eighths of a degree) with Ctrl held
    // zooms by this factor; finer wheels zoom by the matching fraction.
    static constexpr double wheelNotchFactor = 1.1;
    static constexpr std::chrono::milliseconds defaultLoadingTimeout{15000};
    static constexpr std::chrono::milliseconds zoomAnimationDuration{200};

    // loadingTimeout is how long the loading screen waits before the time-out
    // screen replaces it; tests shorten it.
    ScreenshotViewerSheet(const QString& screenshotURL, const QStringList& allScreenshots,
                          QWidget* parent = nullptr, ImageLoader* loader = nullptr,
                          std::chrono::milliseconds loadingTimeout = defaultLoadingTimeout);

    int currentIndex() const { return m_currentIndex; }
    double zoomScale() const { return m_zoomScale; }
    bool loadingTimeout() const { return m_loadingTimeout; }
    Screen screen() const;
    QString positionText() const;
    QString zoomText() const;

    void zoomIn();
    void zoomOut();
    void resetZoom();
    void showPrevious();
    void showNext();
    // Forces a fresh load of the current screenshot.
    void tryAgain();
    // A pinch reporting the cumulative magnification of the current gesture,
    // and the gesture's end.
    void pinchChanged(double magnification);
    void pinchEnded();

    QToolButton* zoomOutButton() const { return m_zoomOutButton; }
    QToolButton* zoomInButton() const { return m_zoomInButton; }
    QToolButton* resetZoomButton() const { return m_resetZoomButton; }
    QToolButton* previousButton() const { return m_previousButton; }
    QToolButton* nextButton() const { return m_nextButton; }
    QToolButton* closeButton() const { return m_closeButton; }
    QPushButton* failureTryAgainButton() const { return m_failureTryAgain; }
    QPushButton* timeoutTryAgainButton() const { return m_timeoutTryAgain; }
    QPushButton* timeoutCloseButton() const { return m_timeoutClose; }
    QLabel* positionLabel() const { return m_positionLabel; }
    QLabel* zoomLabel() const { return m_zoomLabel; }
    // The widget the screenshot is drawn in and the area around it.
    FittedImageView* imageView() const { return m_imageView; }
    QWidget* imageArea() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildLoadingPage();
    QWidget* buildFailurePage();
    QWidget* buildTimeoutPage();
    void setCurrentIndex(int index);
    void loadCurrent(ImageLoader::Freshness freshness);
    void loadFinished(const QString& address);
    void showScreen();
    void setZoom(double zoom, bool animated);
    void layoutImage(double zoom);
    bool handleNativeGesture(QNativeGestureEvent* gesture);
    void watchImageArea(QWidget* widget);

    QStringList m_screenshots;
    QPointer<ImageLoader> m_loader;
    std::chrono::milliseconds m_loadingTimeoutDuration;
    int m_currentIndex = 0;
    double m_zoomScale = 1.0;
    double m_lastMagnification = 1.0;
    double m_gestureMagnification = 1.0;
    bool m_loadingTimeout = false;
    QString m_address;
    quint64 m_loadSerial = 0;
    Screen m_shownScreen = Screen::Loading;
    double m_displayedZoom = 1.0;
    QVariantAnimation m_zoomAnimation;
    std::optional<QPoint> m_panAnchor;
    QPoint m_panScroll;

    QLabel* m_positionLabel = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QToolButton* m_zoomOutButton = nullptr;
    QToolButton* m_zoomInButton = nullptr;
    QToolButton* m_resetZoomButton = nullptr;
    QToolButton* m_previousButton = nullptr;
    QToolButton* m_nextButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    QPushButton* m_failureTryAgain = nullptr;
    QPushButton* m_timeoutTryAgain = nullptr;
    QPushButton* m_timeoutClose = nullptr;
    QStackedWidget* m_pages = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    FittedImageView* m_imageView = nullptr;
};
