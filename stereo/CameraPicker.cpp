#include "stereo/CameraPicker.h"

#include "platform/SystemLog.h"

#include <QCamera>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPainter>
#include <QTransform>
#include <QVideoFrame>
#include <QVideoSink>

#include <cstdint>

CameraPicker::CameraPicker(QWidget* parent) : QWidget(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    if (device.isNull())
        return;
    m_session = std::make_unique<QMediaCaptureSession>();
    m_camera = std::make_unique<QCamera>(device);
    m_imageCapture = std::make_unique<QImageCapture>();
    m_videoSink = std::make_unique<QVideoSink>();
    m_session->setCamera(m_camera.get());
    m_session->setImageCapture(m_imageCapture.get());
    m_session->setVideoSink(m_videoSink.get());

    connect(m_videoSink.get(), &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        m_frame = frame.toImage();
        update();
    });
    connect(m_imageCapture.get(), &QImageCapture::imageAvailable, this, [this](int, const QVideoFrame& frame) {
        m_bCapturing = false;
        deliverCapturedImage(frame.toImage());
    });
    connect(m_imageCapture.get(), &QImageCapture::errorOccurred, this,
            [this](int, QImageCapture::Error, const QString& message) {
                m_bCapturing = false;
                platform::systemLog("Camera capture failed: %s\n", qPrintable(message));
            });
    connect(m_camera.get(), &QCamera::errorOccurred, this, [](QCamera::Error, const QString& message) {
        platform::systemLog("Camera failed: %s\n", qPrintable(message));
    });
}

CameraPicker::~CameraPicker()
{
    if (m_camera)
        m_camera->stop();
}

bool CameraPicker::hasCamera() const
{
    return m_camera != nullptr;
}

void CameraPicker::setCameraOverlayView(QWidget* overlay)
{
    if (m_overlay && m_overlay != overlay)
        delete m_overlay.data();
    m_overlay = overlay;
    if (!overlay)
        return;
    overlay->setParent(this);
    overlay->setGeometry(rect());
    overlay->raise();
    overlay->show();
}

QWidget* CameraPicker::cameraOverlayView() const
{
    return m_overlay;
}

void CameraPicker::setDidFinishPicking(DidFinishPicking handler)
{
    m_didFinishPicking = std::move(handler);
}

bool CameraPicker::takePicture()
{
    if (!m_imageCapture || m_bCapturing || !m_imageCapture->isReadyForCapture())
        return false;
    if (m_imageCapture->capture() < 0)
        return false;
    m_bCapturing = true;
    return true;
}

void CameraPicker::deliverCapturedImage(const QImage& image)
{
    if (image.isNull()) {
        platform::systemLog("Camera capture gave no picture\n");
        return;
    }
    // A copy of the handler: the owner may replace it, or close this picker,
    // while it runs.
    const DidFinishPicking handler = m_didFinishPicking;
    if (handler)
        handler(platform::Image(image.convertToFormat(QImage::Format_ARGB32), 1));
}

void CameraPicker::paintEvent(QPaintEvent*)
{
    if (m_frame.isNull())
        return;
    // Shown as the ghost of a shot is (see the header): turned a quarter
    // clockwise, scaled to the width, at the top.
    const QImage shown = m_frame.transformed(QTransform().rotate(90));
    const int w = width();
    const int h = int(int64_t(w) * shown.height() / shown.width());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, w, h), shown);
}

void CameraPicker::resizeEvent(QResizeEvent*)
{
    if (m_overlay)
        m_overlay->setGeometry(rect());
}

void CameraPicker::showEvent(QShowEvent*)
{
    if (m_camera)
        m_camera->start();
}

void CameraPicker::hideEvent(QHideEvent*)
{
    if (m_camera)
        m_camera->stop();
    m_frame = QImage();
}
