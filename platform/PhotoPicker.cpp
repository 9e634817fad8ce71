#include "platform/PhotoPicker.h"

#include "platform/CameraDevice.h"
#include "platform/StringTable.h"
#include "platform/SystemLog.h"

#include <QApplication>
#include <QCamera>
#include <QDir>
#include <QFileDialog>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QVideoFrame>
#include <QVideoSink>

namespace platform {

namespace {
constexpr int kCameraBarHeight = 60;
} // namespace

PhotoPicker::PhotoPicker(SourceType source, QWidget* parent) : QWidget(parent), m_source(source)
{
    setAutoFillBackground(true);
    if (source == SourceType::PhotoLibrary)
        buildLibrary();
    else
        buildCamera();
}

PhotoPicker::~PhotoPicker()
{
    if (m_camera)
        m_camera->stop();
}

bool PhotoPicker::isSourceTypeAvailable(SourceType source)
{
    return source == SourceType::PhotoLibrary || hasCamera();
}

QString PhotoPicker::picturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

void PhotoPicker::setDidFinishPicking(std::function<void(PhotoPicker*, const MediaInfo&)> handler)
{
    m_didFinish = std::move(handler);
}

void PhotoPicker::setDidCancel(std::function<void(PhotoPicker*)> handler)
{
    m_didCancel = std::move(handler);
}

void PhotoPicker::finishPicking(const MediaInfo& info)
{
    // One answer per picker, however often the user taps.
    if (m_bReported)
        return;
    m_bReported = true;
    if (m_didFinish)
        m_didFinish(this, info);
}

void PhotoPicker::cancel()
{
    if (m_bReported)
        return;
    m_bReported = true;
    if (m_didCancel)
        m_didCancel(this);
}

void PhotoPicker::buildLibrary()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_fileDialog = new QFileDialog(this, Qt::Widget);
    // Qt's own dialog: it can live inside the screen, and it behaves the
    // same on every desktop and offscreen.
    m_fileDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_fileDialog->setFileMode(QFileDialog::ExistingFile);
    m_fileDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_fileDialog->setViewMode(QFileDialog::List);
    m_fileDialog->setDirectory(picturesFolder());
    m_fileDialog->setNameFilters({QStringLiteral("Photos (*.jpg *.jpeg *.JPG *.JPEG *.png *.PNG *.bmp *.gif *.tif *.tiff *.webp)"),
                                  QStringLiteral("All files (*)")});
    m_fileDialog->setWindowTitle(localizedString(QStringLiteral("SELECT_PHOTO")));
    // QDialog makes itself a window whatever the flags it was made with.
    m_fileDialog->setWindowFlags(Qt::Widget);
    m_fileDialog->setSizeGripEnabled(false);
    layout->addWidget(m_fileDialog);
    // A dialog stays hidden until told, even inside another view; and it
    // keeps the desktop's colours, not the black of the window it covers.
    // (Roles taken over unchanged from the application count as unset and
    // would be inherited from the window; these are set for good.)
    const QPalette desktop = QApplication::palette();
    QPalette palette = desktop;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text,
                                     QPalette::Button, QPalette::ButtonText})
        palette.setColor(role, desktop.color(role));
    setPalette(palette);
    m_fileDialog->show();
    connect(m_fileDialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        finishPicking({Image(), QUrl::fromLocalFile(path)});
    });
    connect(m_fileDialog, &QDialog::rejected, this, [this] { cancel(); });
}

void PhotoPicker::buildCamera()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);

    auto* shutter = new QPushButton(localizedString(QStringLiteral("TAKE_PICTURE")), this);
    auto* cancelButton = new QPushButton(localizedString(QStringLiteral("CANCEL")), this);
    connect(shutter, &QPushButton::clicked, this, [this] { takePicture(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    m_shutter = shutter;
    m_cancelButton = cancelButton;

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
    connect(m_imageCapture.get(), &QImageCapture::imageCaptured, this, [this](int, const QImage& image) {
        m_bCapturing = false;
        deliverCapturedImage(image);
    });
    connect(m_imageCapture.get(), &QImageCapture::errorOccurred, this,
            [this](int, QImageCapture::Error, const QString& message) {
                m_bCapturing = false;
                systemLog("Camera capture failed: %s\n", qPrintable(message));
            });
    connect(m_camera.get(), &QCamera::errorOccurred, this, [](QCamera::Error, const QString& message) {
        systemLog("Camera failed: %s\n", qPrintable(message));
    });
    m_camera->start();
}

bool PhotoPicker::takePicture()
{
    if (!m_imageCapture || m_bCapturing || !m_imageCapture->isReadyForCapture())
        return false;
    m_bCapturing = true;
    m_imageCapture->capture();
    return true;
}

void PhotoPicker::deliverCapturedImage(const QImage& image)
{
    if (image.isNull())
        return;
    finishPicking({Image(image.convertToFormat(QImage::Format_ARGB32)), QUrl()});
}

void PhotoPicker::layoutCamera()
{
    if (!m_shutter)
        return;
    const int top = height() - kCameraBarHeight;
    m_cancelButton->setGeometry(10, top + 12, 90, kCameraBarHeight - 24);
    m_shutter->setGeometry(width() / 2 - 50, top + 8, 100, kCameraBarHeight - 16);
}

void PhotoPicker::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutCamera();
}

void PhotoPicker::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (m_source != SourceType::Camera || m_frame.isNull())
        return;
    // The live picture, fitted above the button bar.
    QPainter painter(this);
    const QRectF area(0, 0, width(), height() - kCameraBarHeight);
    QSizeF size = QSizeF(m_frame.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2, size.width(),
                        size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_frame);
}

} // namespace platform
