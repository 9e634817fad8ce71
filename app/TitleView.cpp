#include "app/TitleView.h"

#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "app/MainViewController.h"
#include "app/PhotoIntake.h"
#include "app/PhotoReader.h"
#include "platform/AlertView.h"
#include "platform/CameraDevice.h"
#include "platform/ImageButton.h"
#include "platform/PhotoAlbum.h"
#include "platform/ProgressHud.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "platform/SystemLog.h"
#include "platform/ViewTag.h"
#include "share/Preferences.h"
#include "ui/MessageBox.h"

#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QLinearGradient>
#include <QPainter>
#include <QPropertyAnimation>

#include <cmath>

namespace {

constexpr int kFadeInMs = 400;
constexpr int kPairAlignmentViewId = 2;
constexpr int kPaintingViewId = 3;
constexpr int kSmartSelectionViewId = 4;
// The options of the edit-mode choice.
constexpr int kSmartSelectionOption = 1;
constexpr int kPaintingOption = 2;

TitleView::TwoShotCameraStarter& twoShotCameraStarter()
{
    static TitleView::TwoShotCameraStarter starter;
    return starter;
}

TitleView::SettingsScreenFactory& settingsScreenFactory()
{
    static TitleView::SettingsScreenFactory factory;
    return factory;
}

QString localized(const char* key)
{
    return platform::localizedString(QString::fromLatin1(key));
}

// The button fades from fully transparent to opaque; the effect goes when
// done, so that the button draws as any other afterwards.
void fadeIn(QWidget* button)
{
    auto* effect = new QGraphicsOpacityEffect(button);
    effect->setOpacity(0.0);
    button->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", button);
    fade->setDuration(kFadeInMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    QObject::connect(fade, &QAbstractAnimation::finished, button, [button] { button->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

void TitleView::setTwoShotCameraStarter(TwoShotCameraStarter starter)
{
    twoShotCameraStarter() = std::move(starter);
}

void TitleView::setSettingsScreenFactory(SettingsScreenFactory factory)
{
    settingsScreenFactory() = std::move(factory);
}

TitleView::TitleView(const QRect& frame, MainView* parent) : WorkView(frame, parent)
{
    m_background = platform::pixmapResource(QStringLiteral("Default.png"));

    struct ButtonSpec {
        const char* normal;
        const char* pressed;
        int tag;
        double x, y;
    };
    const ButtonSpec buttons[] = {
        {"take_photo.png", "take_photo_down.png", kTakePhotoTag, 62, 396},
        {"select_from_album.png", "select_from_album_down.png", kSelectFromAlbumTag, 164, 396},
        {"take_two_photos.png", "take_two_photos_down.png", kTakeTwoPhotosTag, 262, 396},
        {"main_settings.png", "main_settings_down.png", kSettingsTag, width() - 25.0, 25},
    };
    auto onButton = [this](platform::ImageButton* button) { onCommand(platform::viewTag(button)); };
    for (const ButtonSpec& b : buttons) {
        platform::ImageButton* button = platform::makeImageButton(QString::fromLatin1(b.normal),
                                                                  QString::fromLatin1(b.pressed), b.tag, onButton, this);
        platform::centerView(button, b.x, b.y);
        fadeIn(button);
    }
    platform::ImageButton* maker = platform::makeImageButton(QStringLiteral("maker_logo.png"),
                                                             QStringLiteral("maker_logo_down.png"), kMakerInfoTag,
                                                             onButton, this);
    // Horizontally centred, its bottom edge on the view's bottom.
    maker->move((width() - maker->width()) / 2, height() - maker->height());
    fadeIn(maker);
}

TitleView::~TitleView()
{
    // A load task still running reads and writes this screen: its display
    // waits for the worker, so it goes while the members are still here.
    // (The display has no meta-object of its own: found by its C++ type.)
    const QObjectList kids = children();
    for (QObject* child : kids) {
        if (auto* hud = dynamic_cast<platform::ProgressHud*>(child))
            delete hud;
    }
    // A picker still open belongs to this intake.
    if (m_picker && m_parent && m_parent->viewController() &&
        m_parent->viewController()->modalViewController() == m_picker)
        m_parent->viewController()->dismissModalViewControllerAnimated(false);
}

void TitleView::onCommand(int tag)
{
    switch (tag) {
    case kTakePhotoTag:
        onTakePhoto();
        break;
    case kSelectFromAlbumTag:
        onSelectFromAlbum();
        break;
    case kTakeTwoPhotosTag:
        onTakeTwoPhotos();
        break;
    case kSettingsTag:
        onSettings();
        break;
    case kMakerInfoTag: {
        auto* alert = new platform::AlertView(localized("MAKER_INFO_TITLE"), localized("MAKER_INFO_MSG"), localized("OK"), {});
        alert->show(this);
        break;
    }
    default:
        break;
    }
}

void TitleView::onTakePhoto()
{
    if (!platform::PhotoPicker::isSourceTypeAvailable(platform::PhotoPicker::SourceType::Camera)) {
        showAlert(QString(), QStringLiteral("NO_CAMERA_DEVICE"));
        return;
    }
    m_state = 0;
    presentPicker(platform::PhotoPicker::SourceType::Camera);
}

void TitleView::onSelectFromAlbum()
{
    m_state = 3;
    presentPicker(platform::PhotoPicker::SourceType::PhotoLibrary);
}

void TitleView::onTakeTwoPhotos()
{
    if (!platform::hasCamera()) {
        showAlert(QString(), QStringLiteral("NO_CAMERA_DEVICE"));
        return;
    }
    if (!twoShotCameraStarter()) {
        platform::systemLog("The two-shot camera is not available in this build\n");
        return;
    }
    QPointer<TitleView> self(this);
    m_camera = twoShotCameraStarter()(m_parent->viewController(),
                                      [self](const platform::Image& left, const platform::Image& right) {
                                          if (self)
                                              self->cameraDidFinishWithLeftImage(left, right);
                                      });
}

void TitleView::onSettings()
{
    MainViewController* controller = m_parent->viewController();
    if (!settingsScreenFactory() || !controller) {
        platform::systemLog("The settings screen is not available in this build\n");
        return;
    }
    QWidget* settings = settingsScreenFactory()([controller] { controller->dismissModalViewControllerAnimated(true); });
    if (settings)
        controller->presentModalViewController(settings, true);
}

void TitleView::presentPicker(platform::PhotoPicker::SourceType source)
{
    auto* picker = new platform::PhotoPicker(source);
    QPointer<TitleView> self(this);
    picker->setDidFinishPicking([self](platform::PhotoPicker*, const platform::PhotoPicker::MediaInfo& info) {
        if (self)
            self->imagePickerDidFinishPicking(info);
    });
    picker->setDidCancel([self](platform::PhotoPicker*) {
        if (self)
            self->imagePickerDidCancel();
    });
    m_picker = picker;
    if (MainViewController* controller = m_parent->viewController()) {
        controller->presentModalViewController(picker, true);
    } else {
        // A root view without a controller (in tests): the picker covers the screen.
        picker->setParent(this);
        picker->setGeometry(rect());
        picker->show();
    }
}

void TitleView::dismissPicker()
{
    platform::PhotoPicker* picker = m_picker;
    m_picker = nullptr;
    if (!picker)
        return;
    MainViewController* controller = m_parent->viewController();
    if (controller && controller->modalViewController() == picker) {
        controller->dismissModalViewControllerAnimated(true);
    } else {
        picker->hide();
        picker->deleteLater();
    }
}

void TitleView::imagePickerDidFinishPicking(const platform::PhotoPicker::MediaInfo& info)
{
    if (m_state == 0 || m_state == 3) {
        m_leftImage = info.originalImage;
        m_leftImageAssetURL = info.referenceURL;
        // An album photo comes as its file; the load task reads it.
        m_leftImagePath = info.originalImage.isNull() && info.referenceURL.isLocalFile()
                              ? info.referenceURL.toLocalFile()
                              : QString();
        m_rightImage = platform::Image();
        m_rightImagePath.clear();
        m_state = m_state == 0 ? 1 : 4;
    } else {
        dismissPicker();
        return;
    }
    dismissPicker();
    runLoadTask();
}

void TitleView::imagePickerDidCancel()
{
    dismissPicker();
}

void TitleView::cameraDidFinishWithLeftImage(const platform::Image& left, const platform::Image& right)
{
    m_state = 2;
    m_leftImage = left;
    m_rightImage = right;
    m_leftImageAssetURL = QUrl();
    m_leftImagePath.clear();
    m_rightImagePath.clear();
    runLoadTask();
}

void TitleView::openPhoto(const QString& path)
{
    m_state = 3;
    imagePickerDidFinishPicking({platform::Image(), QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())});
}

void TitleView::openPair(const QString& leftPath, const QString& rightPath)
{
    m_state = 2;
    m_leftImage = platform::Image();
    m_rightImage = platform::Image();
    m_leftImageAssetURL = QUrl();
    m_leftImagePath = leftPath;
    m_rightImagePath = rightPath;
    runLoadTask();
}

void TitleView::runLoadTask()
{
    m_loadErrorKey.clear();
    m_loadErrorDetail.clear();
    auto task = AsyncTask::create(this);
    task->execute(nullptr, [this](AsyncTask* t) { loadImage_mainTask(t); },
                  [this](AsyncTask* t) { loadImage_postTask(t); });
}

void TitleView::loadImage_mainTask(AsyncTask*)
{
    // Only the document and the images kept here are touched: the display
    // covers the screen meanwhile. Nothing is written to "org.jpg" before
    // every picture has been read and found fit.
    PhotoProblem problem = PhotoProblem::None;
    QString detail;
    if (!m_leftImagePath.isEmpty()) {
        m_leftImage = readPhoto(m_leftImagePath, &problem, &detail);
        if (m_leftImage.isNull()) {
            m_loadErrorKey = photoProblemKey(problem);
            m_loadErrorDetail = detail;
            return;
        }
    }
    if (!m_rightImagePath.isEmpty()) {
        m_rightImage = readPhoto(m_rightImagePath, &problem, &detail);
        if (m_rightImage.isNull()) {
            m_loadErrorKey = photoProblemKey(problem);
            m_loadErrorDetail = detail;
            return;
        }
    }
    if (m_leftImage.isNull())
        return;
    problem = checkPhotoSize(m_leftImage.size());
    if (problem != PhotoProblem::None) {
        m_loadErrorKey = photoProblemKey(problem);
        return;
    }
    if (!m_rightImage.isNull() &&
        std::abs(double(m_rightImage.width()) / m_rightImage.height() -
                 double(m_leftImage.width()) / m_leftImage.height()) > 0.01 * m_leftImage.width() / m_leftImage.height()) {
        // The two shots of a pair must show the same frame (the right one may
        // come smaller, in proportion).
        m_loadErrorKey = QStringLiteral("PAIR_SIZE_MISMATCH");
        return;
    }
    AppData* doc = m_parent->getAppData();
    QString error;
    if (!loadPhotoIntoDocument(*doc, m_leftImage, m_rightImage, m_leftImageAssetURL, &error)) {
        m_loadErrorKey = QStringLiteral("PHOTO_SAVE_FAILED");
        m_loadErrorDetail = error;
    }
}

void TitleView::loadImage_postTask(AsyncTask*)
{
    if (!m_loadErrorKey.isEmpty()) {
        // The home screen stays as it was before the choice.
        platform::systemLog("Photo intake failed: %s (%s)\n", qPrintable(m_loadErrorKey),
                            qPrintable(m_loadErrorDetail));
        showAlert(QStringLiteral("PHOTO_LOAD_FAILED_TITLE"), m_loadErrorKey, m_loadErrorDetail);
        forgetIntake();
        return;
    }
    if (m_leftImage.isNull())
        return;

    const QString mode = prefs::stringForKey(prefs::kInitialEditMode);
    int editViewId = 0;
    if (mode == QLatin1String(prefs::kEditModeFree))
        editViewId = kPaintingViewId;
    else if (mode == QLatin1String(prefs::kEditModeWatershed))
        editViewId = kSmartSelectionViewId;

    const bool autoSave = prefs::boolForKey(prefs::kAutoSaveInCamera);
    switch (m_state) {
    case 1:
    case 4:
        if (m_state == 1 && autoSave) {
            // The album write's result is of no consequence to the intake.
            QString error;
            if (platform::writeImageToSavedPhotosAlbum(m_leftImage, &error).isEmpty())
                platform::systemLog("Writing the camera photo to the album failed: %s\n", qPrintable(error));
        }
        if (editViewId != 0)
            m_parent->selectWorkView(editViewId, false);
        else
            showEditModeChoice();
        break;
    case 2:
        if (autoSave) {
            QString error;
            if (platform::writeImageToSavedPhotosAlbum(m_leftImage, &error).isEmpty())
                platform::systemLog("Writing the left shot to the album failed: %s\n", qPrintable(error));
        }
        m_parent->selectWorkView(kPairAlignmentViewId, false);
        break;
    default:
        break;
    }
}

void TitleView::forgetIntake()
{
    m_state = -1;
    m_leftImage = platform::Image();
    m_rightImage = platform::Image();
    m_leftImageAssetURL = QUrl();
    m_leftImagePath.clear();
    m_rightImagePath.clear();
}

void TitleView::showEditModeChoice()
{
    auto* box = new MessageBox(this);
    box->setText(localized("WHICH_METHOD_TO_SEL_FOCUS_AREA"), localized("WHICH_METHOD_TO_SEL_FOCUS_AREA_HILIGHT"),
                 QRect(30, 25, 245, 100));
    box->addButton(kSmartSelectionOption, QStringLiteral("btn_smart.png"), localized("WATERSHED_MODE"),
                   QRect(62, 82, 90, 90));
    box->addButton(kPaintingOption, QStringLiteral("btn_manual.png"), localized("FREE_MODE"), QRect(162, 82, 90, 90));
    box->setDoNotShowAgain(localized("REMEMBER_AND_DO_NOT_SHOW"), QRect(20, 182, 240, 100));
    box->addButton(MessageBox::kCloseButtonTag, QString(), localized("CONTINUE"), QRect(110, 226, 100, 30));
    m_editModeChoice = box;
    QPointer<TitleView> self(this);
    QPointer<MessageBox> guard(box);
    box->showWithCloseHandler([self, guard](int selected) {
        if (!self)
            return;
        const bool smart = selected == kSmartSelectionOption;
        if (guard && guard->isDoNotShowAgainChecked())
            prefs::setString(prefs::kInitialEditMode,
                             QString::fromLatin1(smart ? prefs::kEditModeWatershed : prefs::kEditModeFree));
        self->m_parent->selectWorkView(smart ? kSmartSelectionViewId : kPaintingViewId, false);
    });
}

MessageBox* TitleView::editModeChoice() const
{
    return m_editModeChoice;
}

void TitleView::showAlert(const QString& titleKey, const QString& messageKey, const QString& detail)
{
    QString message = platform::localizedString(messageKey);
    if (!detail.isEmpty())
        message += QStringLiteral("\n(") + detail + QLatin1Char(')');
    const QString title = titleKey.isEmpty() ? QString() : platform::localizedString(titleKey);
    auto* alert = new platform::AlertView(title, message, localized("OK"), {});
    alert->show(this);
}

void TitleView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), m_background);
        return;
    }
    // Without the picture: a plain dark backdrop.
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(40, 44, 52));
    gradient.setColorAt(1, QColor(10, 10, 12));
    painter.fillRect(rect(), gradient);
}
