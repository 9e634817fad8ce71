#include "app/TitleView.h"

#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "app/MainViewController.h"
#include "app/ImageHelpers.h"
#include "platform/AlertView.h"
#include "platform/CameraDevice.h"
#include "platform/DocumentsFolder.h"
#include "platform/ImageButton.h"
#include "platform/PhotoAlbum.h"
#include "platform/StringTable.h"
#include "platform/UserDefaults.h"
#include "platform/ViewTag.h"
#include "share/Preferences.h"
#include "tests/app/TestWorkViews.h"
#include "tests/support/Screenshot.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsEffect>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kTimeoutMs = 10000;

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// A JPEG with an EXIF block that holds only the orientation tag, as a camera
// writes it: APP1 "Exif", a little-endian TIFF header and one IFD entry.
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation)
{
    const char app1[] = {'\xff', '\xe1', 0, 34, 'E', 'x', 'i', 'f', 0, 0,
                         'I', 'I', 42, 0, 8, 0, 0, 0,
                         1, 0,
                         0x12, 0x01, 3, 0, 1, 0, 0, 0, char(orientation), 0, 0, 0,
                         0, 0, 0, 0};
    return jpeg.left(2) + QByteArray(app1, sizeof app1) + jpeg.mid(2);
}

QImage picture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(90, 120, 150));
    return image;
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TitleViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_documents.isValid() && m_album.isValid() && m_files.isValid());
        platform::setDocumentsFolder(m_documents.path());
        // A first launch, with preferences of its own.
        platform::UserDefaults::setStoragePath(m_files.filePath(QStringLiteral("defaults.ini")));
        prefs::registerPreferenceDefaults();
        platform::UserDefaults::setObject(QString::fromLatin1(platform::kPhotoAlbumFolderKey), m_album.path());
        platform::setCameraAvailableOverride(false);
        MainView::registerWorkView(1, [](const QRect& f, MainView* p) -> WorkView* { return new TitleView(f, p); });
        registerTestWorkViews({2, 3, 4, 5});
        m_controller = std::make_unique<MainViewController>();
        m_controller->window()->show();
    }
    void TearDown() override
    {
        for (platform::AlertView* alert : platform::AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        m_controller.reset();
        platform::setCameraAvailableOverride(std::nullopt);
        platform::UserDefaults::setStoragePath(QString());
        platform::setDocumentsFolder(QString());
    }

    MainView* root() const { return m_controller->view(); }
    TitleView* home() const { return dynamic_cast<TitleView*>(root()->currentWorkView()); }
    bool orgJpgExists() const { return QFile::exists(m_documents.filePath(QStringLiteral("org.jpg"))); }

    QString writePhoto(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_files.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }

    // The user picks path in the album picker's file dialog.
    void pickFromAlbum(const QString& path)
    {
        TitleView* view = home();
        ASSERT_NE(view, nullptr);
        view->onSelectFromAlbum();
        ASSERT_NE(view->picker(), nullptr);
        EXPECT_EQ(m_controller->modalViewController(), view->picker());
        QFileDialog* dialog = view->picker()->fileDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(path);
        // The Open button.
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    }

    // Waits until the load task has ended (with a switch, an alert or a box).
    void waitForLoad()
    {
        QTRY_VERIFY_WITH_TIMEOUT(AsyncTask::runningTaskCount() == 0, kTimeoutMs);
    }

    QString alertMessage() const
    {
        const auto alerts = platform::AlertView::visibleAlerts();
        return alerts.isEmpty() ? QString() : alerts.last()->message();
    }

    QTemporaryDir m_documents;
    QTemporaryDir m_album;
    QTemporaryDir m_files;
    std::unique_ptr<MainViewController> m_controller;
};

TEST_F(TitleViewTest, ShowsItsButtonsAtTheirCentresFadingIn)
{
    TitleView* view = home();
    ASSERT_NE(view, nullptr);
    struct Expected {
        int tag;
        QPoint centre;
    } buttons[] = {{TitleView::kTakePhotoTag, {62, 396}},
                   {TitleView::kSelectFromAlbumTag, {164, 396}},
                   {TitleView::kTakeTwoPhotosTag, {262, 396}},
                   {TitleView::kSettingsTag, {320 - 25, 25}}};
    for (const Expected& b : buttons) {
        auto* button = dynamic_cast<platform::ImageButton*>(platform::viewWithTag(view, b.tag));
        ASSERT_NE(button, nullptr) << b.tag;
        EXPECT_FALSE(button->size().isEmpty()) << b.tag;
        EXPECT_LE((button->geometry().center() - b.centre).manhattanLength(), 2) << b.tag;
        // It starts transparent and fades in.
        auto* effect = dynamic_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
        ASSERT_NE(effect, nullptr) << b.tag;
        EXPECT_LT(effect->opacity(), 0.5) << b.tag;
    }
    auto* settings = platform::viewWithTag(view, TitleView::kSettingsTag);
    QTRY_VERIFY_WITH_TIMEOUT(settings->graphicsEffect() == nullptr, 2000);
    auto* maker = platform::viewWithTag(view, TitleView::kMakerInfoTag);
    ASSERT_NE(maker, nullptr);
    EXPECT_EQ(maker->geometry().bottom() + 1, 480);
    EXPECT_LE(std::abs(maker->geometry().center().x() - 160), 1);
    testsupport::saveScreenshot(m_controller->window(), QStringLiteral("home_screen"));
}

TEST_F(TitleViewTest, AnAlbumPhotoLoadsUprightAtItsWorkingSizes)
{
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Free"));
    struct Case {
        const char* name;
        int w, h, orientation;
        QSize org, working;
        QSize depth;
    } cases[] = {
        {"landscape", 1600, 1200, 1, {1600, 1200}, {400, 300}, {800, 600}},
        {"portrait by EXIF", 1600, 1200, 6, {1200, 1600}, {300, 400}, {600, 800}},
        {"portrait", 1200, 1600, 1, {1200, 1600}, {300, 400}, {600, 800}},
        {"square turned", 900, 900, 8, {900, 900}, {400, 400}, {800, 800}},
        {"uneven", 1000, 334, 1, {1000, 334}, {400, 133}, {800, 267}},
        {"uneven turned", 1000, 334, 8, {334, 1000}, {133, 400}, {266, 796}},
        {"upside down", 1600, 1200, 3, {1600, 1200}, {400, 300}, {800, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        root()->selectWorkView(1, true);
        root()->finishTransition();
        const QString path = writePhoto(QStringLiteral("%1.jpg").arg(c.name),
                                        withExifOrientation(encode(picture(c.w, c.h), "jpeg"), c.orientation));
        AppData* doc = root()->getAppData();
        pickFromAlbum(path);
        waitForLoad();
        ASSERT_EQ(root()->currentViewId(), 3) << alertMessage().toStdString();
        ASSERT_EQ(root()->getAppData(), doc);
        EXPECT_EQ(QSize(doc->m_orgWidth, doc->m_orgHeight), c.org);
        EXPECT_EQ(QSize(doc->m_width, doc->m_height), c.working);
        EXPECT_EQ(doc->m_image.size(), c.working);
        ASSERT_NE(doc->m_pDepthMap, nullptr);
        EXPECT_EQ(QSize(doc->m_pDepthMap->cols, doc->m_pDepthMap->rows), c.depth);
        EXPECT_EQ(doc->m_assetURL, QUrl::fromLocalFile(path));
        const platform::Image stored = loadFromDocuments(QStringLiteral("org.jpg"));
        EXPECT_EQ(stored.size(), c.org);
        EXPECT_TRUE(stored.isUpright());
    }
    EXPECT_TRUE(platform::savedPhotos().isEmpty()) << "an album photo is never written back";
}

TEST_F(TitleViewTest, TheEditModePreferencePicksTheEditor)
{
    const QString path = writePhoto(QStringLiteral("p.jpg"), encode(picture(800, 600), "jpeg"));
    for (const auto& [mode, viewId] : {std::pair{"Free", 3}, std::pair{"Watershed", 4}}) {
        SCOPED_TRACE(mode);
        root()->selectWorkView(1, true);
        root()->finishTransition();
        prefs::setString(prefs::kInitialEditMode, QString::fromLatin1(mode));
        home()->openPhoto(path);
        waitForLoad();
        EXPECT_EQ(root()->currentViewId(), viewId);
        EXPECT_FALSE(root()->isViewChangedByBackButton());
    }
}

TEST_F(TitleViewTest, WithoutAPreferenceTheChoiceOpensWithOption1AndContinueOpensSmartSelection)
{
    const QString path = writePhoto(QStringLiteral("p.jpg"), encode(picture(800, 600), "jpeg"));
    TitleView* view = home();
    view->openPhoto(path);
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 1);
    MessageBox* box = view->editModeChoice();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->selectedButton(), 1);
    ASSERT_NE(box->buttonWithTag(2), nullptr);
    ASSERT_NE(box->buttonWithTag(MessageBox::kCloseButtonTag), nullptr);
    QTest::qWait(400); // the box has dropped in
    testsupport::saveScreenshot(m_controller->window(), QStringLiteral("home_edit_mode_choice"));
    QTest::mouseClick(box->buttonWithTag(MessageBox::kCloseButtonTag), Qt::LeftButton);
    EXPECT_EQ(root()->currentViewId(), 4);
    EXPECT_EQ(prefs::stringForKey(prefs::kInitialEditMode), QStringLiteral("None")) << "nothing remembered";
}

TEST_F(TitleViewTest, Option2WithTheCheckBoxOpensPaintingAndRemembersFree)
{
    const QString path = writePhoto(QStringLiteral("p.jpg"), encode(picture(800, 600), "jpeg"));
    home()->openPhoto(path);
    waitForLoad();
    MessageBox* box = home()->editModeChoice();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->buttonWithTag(2), Qt::LeftButton);
    ASSERT_NE(box->doNotShowAgainButton(), nullptr);
    QTest::mouseClick(box->doNotShowAgainButton(), Qt::LeftButton);
    EXPECT_TRUE(box->isDoNotShowAgainChecked());
    QTest::mouseClick(box->buttonWithTag(MessageBox::kCloseButtonTag), Qt::LeftButton);
    EXPECT_EQ(root()->currentViewId(), 3);
    EXPECT_EQ(prefs::stringForKey(prefs::kInitialEditMode), QStringLiteral("Free"));

    // The next photo skips the choice.
    root()->selectWorkView(1, true);
    root()->finishTransition();
    home()->openPhoto(path);
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 3);
}

TEST_F(TitleViewTest, WithAutoSaveACameraPhotoGoesToTheAlbumOnceAndHasNoReference)
{
    prefs::setBool(prefs::kAutoSaveInCamera, true);
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Watershed"));
    platform::setCameraAvailableOverride(true);
    TitleView* view = home();
    view->onTakePhoto();
    EXPECT_EQ(view->state(), 0);
    ASSERT_NE(view->picker(), nullptr);
    EXPECT_EQ(view->picker()->sourceType(), platform::PhotoPicker::SourceType::Camera);
    view->picker()->deliverCapturedImage(picture(1600, 1200));
    EXPECT_EQ(view->state(), 1);
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 4);
    EXPECT_EQ(platform::savedPhotos().size(), 1);
    EXPECT_TRUE(root()->getAppData()->m_assetURL.isEmpty());
    EXPECT_EQ(root()->getAppData()->m_width, 400);

    // An album photo, with the same preference, is not written.
    root()->selectWorkView(1, true);
    root()->finishTransition();
    home()->openPhoto(writePhoto(QStringLiteral("a.jpg"), encode(picture(800, 600), "jpeg")));
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 4);
    EXPECT_EQ(platform::savedPhotos().size(), 1);
}

TEST_F(TitleViewTest, WithoutAutoSaveNothingGoesToTheAlbum)
{
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Free"));
    platform::setCameraAvailableOverride(true);
    home()->onTakePhoto();
    home()->picker()->deliverCapturedImage(picture(800, 600));
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 3);
    EXPECT_TRUE(platform::savedPhotos().isEmpty());
}

TEST_F(TitleViewTest, AStereoPairOpensPairAlignmentAndAutoSavesTheLeftShotOnly)
{
    prefs::setBool(prefs::kAutoSaveInCamera, true);
    QImage left = picture(1600, 1200);
    left.fill(qRgb(200, 10, 10));
    home()->cameraDidFinishWithLeftImage(platform::Image(left), platform::Image(picture(600, 450)));
    EXPECT_EQ(home()->state(), 2);
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 2);
    const AppData* doc = root()->getAppData();
    EXPECT_EQ(doc->m_leftThumb.size(), QSize(250, 187));
    EXPECT_EQ(doc->m_rightThumb.size(), QSize(250, 187));
    EXPECT_TRUE(doc->m_assetURL.isEmpty());
    const QStringList saved = platform::savedPhotos();
    ASSERT_EQ(saved.size(), 1);
    const QImage written(saved.first());
    EXPECT_EQ(written.size(), QSize(1600, 1200));
    EXPECT_GT(qRed(written.pixel(10, 10)), 150) << "the left shot";
}

TEST_F(TitleViewTest, WithoutACameraTheCameraButtonsOnlyAlert)
{
    TitleView* view = home();
    for (int tag : {TitleView::kTakePhotoTag, TitleView::kTakeTwoPhotosTag}) {
        QTest::qWait(450); // the buttons have faded in
        QTest::mouseClick(platform::viewWithTag(view, tag), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
        platform::AlertView* alert = platform::AlertView::visibleAlerts().last();
        EXPECT_EQ(alert->message(), platform::localizedString(QStringLiteral("NO_CAMERA_DEVICE")));
        ASSERT_EQ(alert->numberOfButtons(), 1);
        EXPECT_EQ(alert->buttonTitleAtIndex(0), platform::localizedString(QStringLiteral("OK")));
        EXPECT_EQ(view->state(), -1);
        EXPECT_EQ(view->picker(), nullptr);
        EXPECT_EQ(m_controller->modalViewController(), nullptr);
        alert->dismissWithClickedButtonIndex(0);
    }
}

TEST_F(TitleViewTest, CancellingThePickerKeepsTheHomeScreen)
{
    TitleView* view = home();
    view->onSelectFromAlbum();
    QPointer<platform::PhotoPicker> picker = view->picker();
    ASSERT_FALSE(picker.isNull());
    QTRY_COMPARE_WITH_TIMEOUT(picker->pos(), QPoint(0, 0), 2000);
    testsupport::saveScreenshot(m_controller->window(), QStringLiteral("album_picker"));
    picker->fileDialog()->reject();
    EXPECT_EQ(view->picker(), nullptr);
    EXPECT_EQ(m_controller->modalViewController(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(picker.isNull(), 2000);
    EXPECT_EQ(view->state(), 3);
    EXPECT_EQ(root()->currentWorkView(), view);
    EXPECT_EQ(AsyncTask::runningTaskCount(), 0);
}

TEST_F(TitleViewTest, ABadFileGivesAnAlertAndKeepsTheHomeScreenAndNoOrgJpg)
{
    QByteArray jpeg = encode(picture(640, 480), "jpeg");
    QByteArray huge = jpeg;
    // The frame header (SOF0) claims 20000 x 20000 pixels.
    const int sof = huge.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(20000 >> 8);
    huge[sof + 6] = char(20000 & 0xff);
    huge[sof + 7] = char(20000 >> 8);
    huge[sof + 8] = char(20000 & 0xff);
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* key;
    } cases[] = {
        {"notes.jpg", QByteArray("these are words, not a picture\n"), "PHOTO_NOT_AN_IMAGE"},
        {"truncated.jpg", jpeg.left(jpeg.size() / 2), "PHOTO_DAMAGED"},
        {"huge.jpg", huge, "PHOTO_TOO_LARGE"},
        {"sliver.png", encode(picture(1, 1000), "png"), "PHOTO_TOO_SMALL"},
        {"empty.jpg", QByteArray(), "PHOTO_NOT_AN_IMAGE"},
    };
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Free"));
    TitleView* view = home();
    AppData* doc = root()->getAppData();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pickFromAlbum(writePhoto(QString::fromLatin1(c.name), c.bytes));
        waitForLoad();
        QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
        platform::AlertView* alert = platform::AlertView::visibleAlerts().last();
        EXPECT_TRUE(alert->message().startsWith(platform::localizedString(QString::fromLatin1(c.key))))
            << alert->message().toStdString();
        EXPECT_EQ(alert->title(), platform::localizedString(QStringLiteral("PHOTO_LOAD_FAILED_TITLE")));
        EXPECT_EQ(root()->currentViewId(), 1);
        EXPECT_EQ(root()->currentWorkView(), view);
        EXPECT_EQ(root()->getAppData(), doc);
        EXPECT_EQ(doc->m_width, 0);
        EXPECT_EQ(doc->m_pDepthMap, nullptr);
        EXPECT_FALSE(orgJpgExists());
        EXPECT_EQ(view->state(), -1);
        alert->dismissWithClickedButtonIndex(0);
    }
    // A missing file (gone between the choice and the load) says so.
    view->openPhoto(m_files.filePath(QStringLiteral("gone.jpg")));
    waitForLoad();
    QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
    EXPECT_TRUE(alertMessage().startsWith(platform::localizedString(QStringLiteral("PHOTO_CANNOT_READ"))));
    EXPECT_FALSE(orgJpgExists());

    // The home screen still takes a good photo afterwards.
    platform::AlertView::visibleAlerts().last()->dismissWithClickedButtonIndex(0);
    pickFromAlbum(writePhoto(QStringLiteral("good.jpg"), jpeg));
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 3);
    EXPECT_TRUE(orgJpgExists());
}

TEST_F(TitleViewTest, AnUnwritableDocumentsFolderGivesAnAlert)
{
    platform::setDocumentsFolder(QStringLiteral("/proc/no-such-place"));
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Free"));
    home()->openPhoto(writePhoto(QStringLiteral("p.jpg"), encode(picture(800, 600), "jpeg")));
    waitForLoad();
    QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
    EXPECT_TRUE(alertMessage().startsWith(platform::localizedString(QStringLiteral("PHOTO_SAVE_FAILED"))));
    EXPECT_EQ(root()->currentViewId(), 1);
    EXPECT_EQ(root()->getAppData()->m_width, 0);
}

TEST_F(TitleViewTest, APairOfFilesOpensPairAlignment)
{
    const QByteArray jpeg = encode(picture(800, 600), "jpeg");
    home()->openPair(writePhoto(QStringLiteral("l.jpg"), jpeg), writePhoto(QStringLiteral("r.jpg"), jpeg));
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 2);
    EXPECT_EQ(root()->getAppData()->m_rightThumb.size(), QSize(250, 187));

    // Shots of different frames are refused.
    root()->selectWorkView(1, true);
    root()->finishTransition();
    home()->openPair(writePhoto(QStringLiteral("l2.jpg"), jpeg),
                     writePhoto(QStringLiteral("r2.jpg"), encode(picture(600, 800), "jpeg")));
    waitForLoad();
    QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
    EXPECT_EQ(root()->currentViewId(), 1);
}

TEST_F(TitleViewTest, TheTwoShotCameraDeliversItsPairToTheLoadTask)
{
    TitleView::TwoShotFinished deliver;
    MainViewController* presentedFrom = nullptr;
    auto handle = std::make_shared<int>(0);
    std::weak_ptr<int> alive = handle;
    TitleView::setTwoShotCameraStarter([&](MainViewController* controller, TitleView::TwoShotFinished finished) {
        presentedFrom = controller;
        deliver = std::move(finished);
        return std::shared_ptr<void>(std::exchange(handle, nullptr));
    });
    platform::setCameraAvailableOverride(true);
    home()->onTakeTwoPhotos();
    EXPECT_EQ(presentedFrom, m_controller.get());
    ASSERT_TRUE(deliver);
    deliver(platform::Image(picture(1600, 1200)), platform::Image(picture(600, 450)));
    waitForLoad();
    EXPECT_EQ(root()->currentViewId(), 2);
    flushDeferredDeletes();
    EXPECT_TRUE(alive.expired()) << "the camera goes with its home screen";
    TitleView::setTwoShotCameraStarter(nullptr);
}

TEST_F(TitleViewTest, SettingsOpenOverTheHomeScreenAndCloseWhenDone)
{
    std::function<void()> done;
    QPointer<QWidget> screen;
    TitleView::setSettingsScreenFactory([&](std::function<void()> didEnd) {
        done = std::move(didEnd);
        screen = new QWidget;
        return screen.data();
    });
    home()->onCommand(TitleView::kSettingsTag);
    ASSERT_FALSE(screen.isNull());
    EXPECT_EQ(m_controller->modalViewController(), screen);
    done();
    EXPECT_EQ(m_controller->modalViewController(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(screen.isNull(), 2000);
    EXPECT_EQ(root()->currentViewId(), 1);
    TitleView::setSettingsScreenFactory(nullptr);
}
