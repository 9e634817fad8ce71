// The photo picker, presented full screen by the root view controller, in
// one of two sources:
// - the photo library: a file dialog over the user's pictures folder. The
//   picked photo comes as its reference only (a file:// URL); the receiver
//   reads it, since the file may be large, damaged or no picture at all.
// - the camera: the live picture of the default camera (Qt Multimedia) with
//   a shutter and a cancel button; a shot comes as the original image and
//   no reference.
// The picker never dismisses itself: its owner does that in the handlers.
#pragma once

#include "platform/Image.h"

#include <QImage>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QCamera;
class QFileDialog;
class QImageCapture;
class QMediaCaptureSession;
class QVideoSink;

namespace platform {

class ImageButton;

class PhotoPicker : public QWidget {
public:
    enum class SourceType { PhotoLibrary, Camera };
    // didFinishPickingMediaWithInfo: the original image (camera) and the
    // reference URL (library).
    struct MediaInfo {
        Image originalImage;
        QUrl referenceURL;
    };

    explicit PhotoPicker(SourceType source, QWidget* parent = nullptr);
    ~PhotoPicker() override;

    static bool isSourceTypeAvailable(SourceType source);
    // Where the library picker opens: the user's pictures folder.
    static QString picturesFolder();

    SourceType sourceType() const { return m_source; }
    void setDidFinishPicking(std::function<void(PhotoPicker*, const MediaInfo&)> handler);
    void setDidCancel(std::function<void(PhotoPicker*)> handler);

    // What the user's choice does: reports to the handlers.
    void finishPicking(const MediaInfo& info);
    void cancel();

    // The library's file dialog (null for the camera).
    QFileDialog* fileDialog() const { return m_fileDialog; }
    // The camera's shutter: false when no still can be taken now.
    bool takePicture();
    // A still from the camera, handed on as the original image.
    void deliverCapturedImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLibrary();
    void buildCamera();
    void layoutCamera();

    SourceType m_source;
    std::function<void(PhotoPicker*, const MediaInfo&)> m_didFinish;
    std::function<void(PhotoPicker*)> m_didCancel;
    bool m_bReported = false;
    QFileDialog* m_fileDialog = nullptr;
    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QImageCapture> m_imageCapture;
    std::unique_ptr<QVideoSink> m_videoSink;
    QWidget* m_shutter = nullptr;
    QWidget* m_cancelButton = nullptr;
    QImage m_frame;
    bool m_bCapturing = false;
};

} // namespace platform
