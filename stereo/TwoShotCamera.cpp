#include "stereo/TwoShotCamera.h"

#include "app/ImageHelpers.h"
#include "app/MainView.h"
#include "app/MainViewController.h"
#include "platform/UserDefaults.h"
#include "stereo/CameraOverlayView.h"
#include "stereo/CameraPicker.h"

#include <QTransform>

namespace {

constexpr int kShotDisplayWidth = 600;

} // namespace

TwoShotCameraDelegate::~TwoShotCameraDelegate() = default;

platform::Image scaleToWidth600(const platform::Image& image)
{
    return scaleImage(image, kShotDisplayWidth);
}

platform::Image rotateQuarterTurn(const platform::Image& image)
{
    if (image.isNull())
        return image;
    // A rotation by exactly +90 degrees (clockwise, y down) about the centre
    // of the turned bounds moves every pixel without resampling.
    const QImage upright = uprightImage(image).pixels();
    return platform::Image(upright.transformed(QTransform().rotate(90)));
}

TwoShotCamera::TwoShotCamera() = default;

TwoShotCamera::~TwoShotCamera()
{
    // The picker belongs to the controller and may outlive this object for a
    // moment; nothing it does may reach us any more.
    CameraPicker* picker = m_imgPicker;
    if (!picker)
        return;
    picker->setDidFinishPicking({});
    if (CameraOverlayView* view = overlay())
        view->setCamera(nullptr);
    if (m_parentController && m_parentController->modalViewController() == picker)
        m_parentController->dismissModalViewControllerAnimated(false);
    else
        delete picker;  // not shown yet (the help popup is open): nobody else has it
}

CameraPicker* TwoShotCamera::picker() const
{
    return m_imgPicker;
}

CameraOverlayView* TwoShotCamera::overlay() const
{
    if (!m_imgPicker)
        return nullptr;
    return dynamic_cast<CameraOverlayView*>(m_imgPicker->cameraOverlayView());
}

void TwoShotCamera::invokeCamera(MainViewController* parentController)
{
    Q_ASSERT(parentController);
    // A new capture always starts with the left shot.
    clearShots();
    if (m_imgPicker)
        dismissPicker();
    m_parentController = parentController;

    auto* picker = new CameraPicker();
    picker->setDidFinishPicking([this](const platform::Image& image) { imagePickerDidFinishPicking(image); });
    QWidget* parentView = parentController->view();
    const QRect bounds = parentView ? parentView->rect() : QRect(QPoint(0, 0), parentController->window()->size());
    picker->resize(bounds.size());
    picker->setCameraOverlayView(new CameraOverlayView(bounds, this));
    m_imgPicker = picker;

    if (QWidget* popup = createTwoshotHelpPopup()) {
        // The popup deletes itself when closed; the picker opens then,
        // whatever its check box says.
        QObject::connect(popup, &QObject::destroyed, picker, [this] { presentPicker(); });
        return;
    }
    presentPicker();
}

QWidget* TwoShotCamera::createTwoshotHelpPopup()
{
    if (!platform::UserDefaults::boolForKey(QStringLiteral("ShowTwoShotHelp")))
        return nullptr;
    // The help card ("HOW_TO_TAKE_TWOSHOT") is laid over the controller's
    // view here once the help popups exist; without one the camera opens
    // at once.
    return nullptr;
}

void TwoShotCamera::presentPicker()
{
    if (m_imgPicker && m_parentController)
        m_parentController->presentModalViewController(m_imgPicker, true);
}

void TwoShotCamera::dismissPicker()
{
    CameraPicker* picker = m_imgPicker;
    m_imgPicker = nullptr;
    if (!picker)
        return;
    picker->setDidFinishPicking({});
    if (m_parentController && m_parentController->modalViewController() == picker)
        m_parentController->dismissModalViewControllerAnimated(true);
    else
        picker->deleteLater();
}

void TwoShotCamera::clearShots()
{
    m_leftImage = platform::Image();
    m_rightImage = platform::Image();
    m_leftImageForDisplay = platform::Image();
}

void TwoShotCamera::onClickTakePicture()
{
    if (m_imgPicker)
        m_imgPicker->takePicture();
}

void TwoShotCamera::onClickCancel()
{
    // No shot of a cancelled capture is kept for a later one.
    clearShots();
    dismissPicker();
}

void TwoShotCamera::imagePickerDidFinishPicking(const platform::Image& originalImage)
{
    // A still that arrives after the capture was cancelled is dropped.
    if (!m_imgPicker || originalImage.isNull())
        return;

    if (m_leftImage.isNull()) {
        m_leftImage = originalImage;
        m_leftImageForDisplay = scaleToWidth600(originalImage);
        // The live picture shows the camera's upright frames turned a
        // quarter; the ghost must lie over it the same way.
        if (originalImage.orientation() == 1)
            m_leftImageForDisplay = rotateQuarterTurn(m_leftImageForDisplay);
        if (CameraOverlayView* view = overlay())
            view->update();
        return;
    }

    m_rightImage = scaleToWidth600(originalImage);
    dismissPicker();
    // The delegate may start a task or even drop this camera: nothing of
    // ours is touched after the call.
    const platform::Image left = m_leftImage;
    const platform::Image right = m_rightImage;
    if (m_delegate)
        m_delegate->cameraDidFinishWithLeftImage(left, right);
}
