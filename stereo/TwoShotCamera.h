// The two-shot camera: takes a stereo pair as two photos of one scene from
// two positions a short step apart, left shot first. It presents the camera
// picker with a custom overlay (shutter, cancel, a green framing grid and,
// after the first shot, a half-transparent ghost of it to line up the
// second), and hands both shots to its delegate when the second is taken.
//
// Images: the left shot reaches the delegate at full size as the camera gave
// it; the right shot scaled to width 600 (height in proportion, upright).
// Cancelling at any point ends the capture without a report and forgets the
// first shot; every invokeCamera starts again with the left shot.
#pragma once

#include "platform/Image.h"

#include <QPointer>

class CameraOverlayView;
class CameraPicker;
class MainViewController;
class QWidget;

class TwoShotCameraDelegate {
public:
    virtual ~TwoShotCameraDelegate();
    // cameraDidFinishWithLeftImage:rightImage:
    virtual void cameraDidFinishWithLeftImage(const platform::Image& leftImage,
                                              const platform::Image& rightImage) = 0;
};

class TwoShotCamera {
public:
    TwoShotCamera();
    ~TwoShotCamera();
    TwoShotCamera(const TwoShotCamera&) = delete;
    TwoShotCamera& operator=(const TwoShotCamera&) = delete;

    TwoShotCameraDelegate* delegate() const { return m_delegate; }
    void setDelegate(TwoShotCameraDelegate* delegate) { m_delegate = delegate; }

    // invokeCamera: starts a two-shot capture presented by parentController
    // (not retained; it must outlive the capture): the help popup first when
    // "ShowTwoShotHelp" is on, the picker once it has closed, else at once.
    void invokeCamera(MainViewController* parentController);
    // The help popup laid over the controller's view, or null when
    // "ShowTwoShotHelp" is off. The popup deletes itself when closed, and
    // the picker opens then.
    QWidget* createTwoshotHelpPopup();

    // The overlay's buttons: take a picture; end the capture (dismiss the
    // picker, report nothing, keep no shot).
    void onClickTakePicture();
    void onClickCancel();

    // imagePickerController:didFinishPickingMediaWithInfo: — each shot the
    // picker took, at full size, in the orientation the camera gave it.
    void imagePickerDidFinishPicking(const platform::Image& originalImage);

    // The shots so far (null images before they exist).
    const platform::Image& leftImage() const { return m_leftImage; }
    const platform::Image& rightImage() const { return m_rightImage; }
    // The ghost over the live preview: the first shot at width 600, turned a
    // quarter clockwise when the shot was upright (orientation 1).
    const platform::Image& leftImageForDisplay() const { return m_leftImageForDisplay; }

    // The picker and its overlay while the capture runs; null otherwise.
    CameraPicker* picker() const;
    CameraOverlayView* overlay() const;

private:
    void presentPicker();
    void dismissPicker();
    void clearShots();

    MainViewController* m_parentController = nullptr;
    // Created by invokeCamera; the controller owns it once presented.
    QPointer<CameraPicker> m_imgPicker;
    platform::Image m_leftImage;
    platform::Image m_rightImage;
    platform::Image m_leftImageForDisplay;
    TwoShotCameraDelegate* m_delegate = nullptr;
};

// A picture scaled to width 600, in proportion (height 600 x h / w,
// truncated), drawn upright with high-quality interpolation; an upright
// picture already of that size comes back as it is.
platform::Image scaleToWidth600(const platform::Image& image);

// The upright picture turned a quarter (90 degrees) clockwise, into an image
// of the turned size (height x width).
platform::Image rotateQuarterTurn(const platform::Image& image);
