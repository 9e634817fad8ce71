// The camera picker: a full-screen view that shows the live picture of the
// default camera (Qt Multimedia: QCamera, QMediaCaptureSession, QImageCapture
// and a QVideoSink), with a custom overlay laid over it in place of any
// controls of its own, and hands every still it captures to its owner.
//
// The live picture is painted by this view itself rather than by a
// QVideoWidget, whose native video window would hide an overlay above it.
// Each frame is shown the way the two-shot camera shows its ghost: turned a
// quarter clockwise and scaled to the view's width at the top, so that the
// ghost of the first shot and the live picture coincide.
//
// Without a camera (QMediaDevices::videoInputs() empty) the picture stays
// black and takePicture does nothing; deliverCapturedImage stands in for the
// device.
#pragma once

#include "platform/Image.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QCamera;
class QImageCapture;
class QMediaCaptureSession;
class QVideoSink;

class CameraPicker : public QWidget {
public:
    // imagePickerController:didFinishPickingMediaWithInfo: with the original
    // (full-size) image.
    using DidFinishPicking = std::function<void(const platform::Image& originalImage)>;

    explicit CameraPicker(QWidget* parent = nullptr);
    ~CameraPicker() override;

    // A camera was found (the picture may still fail to start).
    bool hasCamera() const;

    // cameraOverlayView: the picker takes the overlay, keeps it over its whole
    // area and above the picture.
    void setCameraOverlayView(QWidget* overlay);
    QWidget* cameraOverlayView() const;
    void setDidFinishPicking(DidFinishPicking handler);

    // takePicture: asks the camera for a still; false when it cannot take one
    // now (no camera, not ready, or a still already on its way).
    bool takePicture();
    // A captured still, handed on as the original image (orientation 1).
    void deliverCapturedImage(const QImage& image);

    // The latest live frame; null before the first or without a camera.
    QImage currentFrame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QImageCapture> m_imageCapture;
    std::unique_ptr<QVideoSink> m_videoSink;
    QPointer<QWidget> m_overlay;
    DidFinishPicking m_didFinishPicking;
    QImage m_frame;
    bool m_bCapturing = false;
};
