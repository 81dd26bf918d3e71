#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

class BusyIndicator;
class ImageLoader;

// One screenshot of the detail view's row: the image loaded from its address,
// scaled to fit at most 400 pixels high, with rounded corners and a soft shadow;
// a progress indicator in a 200 by 400 frame while it loads or when it failed.
// A click asks for the full-size viewer.
class ScreenshotThumbnail : public QWidget {
    Q_OBJECT
public:
    static constexpr int maximumHeight = 400;
    static constexpr int placeholderWidth = 200;
    static constexpr int cornerRadius = 8;
    // Room left around the picture for its shadow.
    static constexpr int shadowMargin = 3;

    explicit ScreenshotThumbnail(const QString& address, QWidget* parent = nullptr,
                                 ImageLoader* loader = nullptr);

    const QString& address() const { return m_address; }
    bool isShowingImage() const;
    // Where the picture (or the placeholder frame) is drawn.
    QRect pictureRect() const;

    QSize sizeHint() const override;

signals:
    void clicked(const QString& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void imageArrived(const QString& address);
    QSize pictureSize() const;

    QString m_address;
    QPointer<ImageLoader> m_loader;
    BusyIndicator* m_busy;
    QPixmap m_scaled; // the picture at its shown size, made once per size
    bool m_pressed = false;
};
