#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class ImageLoader;
class QPainter;

// An app icon loaded from its address: the image scaled to fit a square with
// rounded corners, or the "app.fill" placeholder in the secondary colour while
// it loads, when it fails and when there is no usable address.
class AppIconView : public QWidget {
    Q_OBJECT
public:
    AppIconView(int side, qreal cornerRadius, QWidget* parent = nullptr, ImageLoader* loader = nullptr);

    void setAddress(const std::optional<QString>& address);
    QString address() const { return m_address; }
    // True once the image has arrived and is shown instead of the placeholder.
    bool isShowingImage() const;

    QSize sizeHint() const override { return QSize(m_side, m_side); }

    // Paints an icon image (or, when image is null, the placeholder) into rect,
    // clipped to rounded corners. Scaled images are kept in the pixmap cache
    // under the address, so rows painted again cost no scaling.
    static void paintIcon(QPainter& painter, const QRect& rect, qreal cornerRadius, const QString& address,
                          const QImage& image, const QColor& placeholderColor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void requestImage();

    int m_side;
    qreal m_cornerRadius;
    QPointer<ImageLoader> m_loader;
    QString m_address;
};
