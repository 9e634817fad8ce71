// The home screen (view 1): the photo sources (camera, album, two-shot
// stereo camera), the load task that turns the chosen photo into the
// document, and the choice of the editor that opens next.
//
// m_state: -1 nothing chosen yet, 0 camera picker open, 1 camera photo
// chosen, 2 stereo pair delivered, 3 album picker open, 4 album photo chosen.
#pragma once

#include "app/MainView.h"
#include "platform/Image.h"
#include "platform/PhotoPicker.h"

#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class AsyncTask;
class MainViewController;
class MessageBox;
namespace platform { class ImageButton; }

class TitleView : public WorkView {
public:
    // The two-shot camera lives in the stereo screens, above this one: main()
    // supplies how to start it. The starter presents the camera from the
    // controller and calls finished with both shots; the handle it returns
    // keeps the camera alive (released with the home screen).
    using TwoShotFinished = std::function<void(const platform::Image& left, const platform::Image& right)>;
    using TwoShotCameraStarter = std::function<std::shared_ptr<void>(MainViewController*, TwoShotFinished)>;
    static void setTwoShotCameraStarter(TwoShotCameraStarter starter);
    // The settings screen, made by main(); didEnd dismisses it.
    using SettingsScreenFactory = std::function<QWidget*(std::function<void()> didEnd)>;
    static void setSettingsScreenFactory(SettingsScreenFactory factory);

    // Control tags.
    enum { kTakePhotoTag = 101, kSelectFromAlbumTag = 102, kMakerInfoTag = 103, kTakeTwoPhotosTag = 104,
           kSettingsTag = 109 };

    // initWithFrame:andParent:
    TitleView(const QRect& frame, MainView* parent);
    ~TitleView() override;

    void onCommand(int tag);
    void onTakePhoto();
    void onSelectFromAlbum();
    void onTakeTwoPhotos();
    void onSettings();

    // imagePickerController:didFinishPickingMediaWithInfo: and
    // imagePickerControllerDidCancel:
    void imagePickerDidFinishPicking(const platform::PhotoPicker::MediaInfo& info);
    void imagePickerDidCancel();
    // cameraDidFinishWithLeftImage:rightImage:
    void cameraDidFinishWithLeftImage(const platform::Image& left, const platform::Image& right);

    // The program's --open and --open-pair: the photo as if picked from the
    // album; the pair as the two-shot camera delivers it.
    void openPhoto(const QString& path);
    void openPair(const QString& leftPath, const QString& rightPath);

    int state() const { return m_state; }
    // The picker presented now (null when none).
    platform::PhotoPicker* picker() const { return m_picker; }
    // The edit-mode choice while it is open (null otherwise).
    MessageBox* editModeChoice() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void presentPicker(platform::PhotoPicker::SourceType source);
    void dismissPicker();
    void runLoadTask();
    void loadImage_mainTask(AsyncTask* task);
    void loadImage_postTask(AsyncTask* task);
    void showEditModeChoice();
    void showAlert(const QString& titleKey, const QString& messageKey, const QString& detail = QString());
    void forgetIntake();

    int m_state = -1;
    std::shared_ptr<void> m_camera;
    platform::Image m_leftImage;
    platform::Image m_rightImage;
    QUrl m_leftImageAssetURL;
    // Files still to be read by the load task (album photo, --open-pair).
    QString m_leftImagePath;
    QString m_rightImagePath;
    // Set by the load task's main step when the photo cannot be used.
    QString m_loadErrorKey;
    QString m_loadErrorDetail;
    QPointer<platform::PhotoPicker> m_picker;
    QPointer<MessageBox> m_editModeChoice;
    QPixmap m_background;
};
