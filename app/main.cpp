// nimbalight: the photo editor. Opens its 320 x 480-point window at a device
// pixel ratio of 2 (640 x 960 pixels) on the home screen.
//
//   nimbalight                      the home screen
//   nimbalight --open PHOTO         PHOTO loaded as if picked from the album
//   nimbalight --open-pair L R      the stereo pair L, R as the two-shot camera delivers it
#include "app/MainView.h"
#include "app/MainViewController.h"
#include "app/TitleView.h"
#include "editing/AdvEditDepthView.h"
#include "editing/FreeEditDepthView.h"
#include "platform/ResourceLookup.h"
#include "platform/Screen.h"
#include "share/Preferences.h"
#include "ui/EffectView.h"

#if __has_include("stereo/CalibView.h")
#include "stereo/CalibView.h"
#define NIMBALIGHT_HAS_CALIB_VIEW 1
#endif
#if __has_include("stereo/TwoShotCamera.h")
#include "stereo/TwoShotCamera.h"
#define NIMBALIGHT_HAS_TWO_SHOT_CAMERA 1
#endif

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

const char kUsage[] =
    "Usage: nimbalight [--open PHOTO | --open-pair LEFT RIGHT]\n"
    "  --open PHOTO           start with PHOTO loaded, as if picked from the album\n"
    "  --open-pair LEFT RIGHT start with a stereo pair, as the two-shot camera delivers it\n"
    "  --help                 this text\n";

struct Arguments {
    QString photo;
    QString left, right;
};

// Returns 0 to go on, else the exit status (2 usage error, 0 help printed).
int parseArguments(const QStringList& args, Arguments& out, bool& stop)
{
    stop = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            stop = true;
            return 0;
        }
        if (a == QLatin1String("--open") && i + 1 < args.size() && out.left.isEmpty() && out.photo.isEmpty()) {
            out.photo = args[++i];
        } else if (a == QLatin1String("--open-pair") && i + 2 < args.size() && out.photo.isEmpty() &&
                   out.left.isEmpty()) {
            out.left = args[++i];
            out.right = args[++i];
        } else {
            std::fprintf(stderr, "nimbalight: unexpected argument '%s'\n%s", qPrintable(a), kUsage);
            stop = true;
            return 2;
        }
    }
    return 0;
}

// The window is 320 x 480 points at a device pixel ratio of 2: unless the
// user chose a scale, the screen's own ratio is made up to 2.
void chooseScaleFactor(int& argc, char** argv)
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        return;
    double ratio = 1.0;
    {
        QGuiApplication probe(argc, argv);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            ratio = screen->devicePixelRatio();
    }
    if (ratio < 2.0)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(2.0 / ratio));
}

void registerScreens()
{
    MainView::registerWorkView(1, [](const QRect& f, MainView* p) -> WorkView* { return new TitleView(f, p); });
#ifdef NIMBALIGHT_HAS_CALIB_VIEW
    MainView::registerWorkView(2, [](const QRect& f, MainView* p) -> WorkView* { return new CalibView(f, p); });
#endif
    MainView::registerWorkView(3, [](const QRect& f, MainView* p) -> WorkView* { return new FreeEditDepthView(f, p); });
    MainView::registerWorkView(4, [](const QRect& f, MainView* p) -> WorkView* { return new AdvEditDepthView(f, p); });
    MainView::registerWorkView(5, [](const QRect& f, MainView* p) -> WorkView* { return new EffectView(f, p); });
}

#ifdef NIMBALIGHT_HAS_TWO_SHOT_CAMERA
// The home screen's two-shot camera: the camera and its delegate, alive
// while the home screen holds the handle.
class TwoShotSession : public TwoShotCameraDelegate {
public:
    explicit TwoShotSession(TitleView::TwoShotFinished finished) : m_finished(std::move(finished))
    {
        m_camera.setDelegate(this);
    }
    void cameraDidFinishWithLeftImage(const platform::Image& left, const platform::Image& right) override
    {
        if (m_finished)
            m_finished(left, right);
    }
    TwoShotCamera& camera() { return m_camera; }

private:
    TitleView::TwoShotFinished m_finished;
    TwoShotCamera m_camera;
};
#endif

} // namespace

int main(int argc, char** argv)
{
    chooseScaleFactor(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nimbalight"));
    QApplication::setOrganizationName(QStringLiteral("Nimbalight"));

    Arguments args;
    bool stop = false;
    const int status = parseArguments(QApplication::arguments(), args, stop);
    if (stop)
        return status;

    // Launch: the resolution flag, the preference defaults, the root view
    // controller with its window.
    platform::setHighResolutionScreen(platform::mainScreenScale() >= 2.0);
    prefs::registerPreferenceDefaults();
    registerScreens();
#ifdef NIMBALIGHT_HAS_TWO_SHOT_CAMERA
    TitleView::setTwoShotCameraStarter([](MainViewController* controller, TitleView::TwoShotFinished finished) {
        auto session = std::make_shared<TwoShotSession>(std::move(finished));
        session->camera().invokeCamera(controller);
        return std::shared_ptr<void>(session);
    });
#endif

    MainViewController controller;
    controller.window()->show();

    if (!args.photo.isEmpty() || !args.left.isEmpty()) {
        QTimer::singleShot(0, &app, [&controller, &args] {
            auto* home = dynamic_cast<TitleView*>(controller.view()->currentWorkView());
            if (!home)
                return;
            if (!args.photo.isEmpty())
                home->openPhoto(args.photo);
            else
                home->openPair(args.left, args.right);
        });
    }
    return app.exec();
}
