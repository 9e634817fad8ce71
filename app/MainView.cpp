#include "app/MainView.h"

#include "app/AppData.h"
#include "app/StrokeContainer.h"
#include "platform/SystemLog.h"
#include "platform/ViewTransition.h"

#include <map>

namespace {

constexpr int kHomeViewId = 1;
constexpr int kCalibViewId = 2;
constexpr int kFreeEditViewId = 3;
constexpr int kAdvEditViewId = 4;

constexpr double kPushSeconds = 0.4;
constexpr double kFlipSeconds = 1.0;

std::map<int, MainView::WorkViewFactory>& factories()
{
    static std::map<int, MainView::WorkViewFactory> table;
    return table;
}

} // namespace

WorkView::WorkView(const QRect& frame, MainView* parent) : QWidget(parent), m_parent(parent)
{
    setGeometry(frame);
    // Work views are opaque screens: nothing of the root view shows through.
    setAutoFillBackground(true);
}

WorkView::~WorkView() = default;

void WorkView::onInitialAnimationFinished() {}

void MainView::registerWorkView(int viewId, WorkViewFactory factory)
{
    if (factory)
        factories()[viewId] = std::move(factory);
    else
        factories().erase(viewId);
}

bool MainView::hasWorkView(int viewId)
{
    return factories().count(viewId) != 0;
}

MainView::MainView(const QRect& frame, MainViewController* controller, QWidget* parent)
    : QWidget(parent),
      m_viewController(controller),
      // Screens reach the document from their first moment, even a screen
      // shown before the home screen (as tests do); the first switch to the
      // home screen replaces it anyway.
      m_pAppData(std::make_unique<AppData>()),
      m_pWatershedStrokes(std::make_unique<StrokeContainer>())
{
    setGeometry(frame);
}

MainView::~MainView()
{
    // The screens go first: their teardown may still read the document.
    const QObjectList kids = children();
    for (QObject* child : kids) {
        if (auto* view = dynamic_cast<WorkView*>(child))
            delete view;
    }
}

void MainView::selectWorkView(int viewId, bool isBack)
{
    const auto found = factories().find(viewId);
    if (found == factories().end()) {
        platform::systemLog("selectWorkView: no screen for view id %d\n", viewId);
        return;
    }
    // A switch during a running transition ends that one first, so that its
    // completion never reaches a screen that is already gone.
    finishTransition();

    m_bViewChangedByBackButton = isBack;

    // The document a screen worked on stays alive until that screen is
    // deleted, since its teardown may still read it.
    std::unique_ptr<AppData> retiredDocument;
    switch (viewId) {
    case kHomeViewId:
        retiredDocument = std::move(m_pAppData);
        m_pAppData = std::make_unique<AppData>();
        m_pWatershedStrokes->clear();
        break;
    case kCalibViewId:
        m_pWatershedStrokes->clear();
        break;
    case kFreeEditViewId:
        m_lastEditViewId = kFreeEditViewId;
        m_pWatershedStrokes->clear();
        break;
    case kAdvEditViewId:
        m_lastEditViewId = kAdvEditViewId;
        break;
    default:
        break;
    }
    WorkView* newView = found->second(QRect(0, 0, 320, 480), this);
    Q_ASSERT(newView);
    newView->hide();

    WorkView* oldView = m_curWorkView;
    if (retiredDocument) {
        if (oldView) {
            connect(oldView, &QObject::destroyed, this, [document = retiredDocument.release()] { delete document; });
        } else {
            retiredDocument.reset();
        }
    }

    const int old = m_curViewId;
    QPointer<WorkView> entering(newView);
    auto finished = [this, entering] {
        if (entering)
            initialAnimationFinished(entering);
    };
    if ((old == kFreeEditViewId && viewId == kAdvEditViewId) || (old == kAdvEditViewId && viewId == kFreeEditViewId)) {
        const bool fromLeft = old > viewId;
        m_lastTransition = {Transition::Flip, fromLeft, kFlipSeconds};
        m_transition = platform::ViewTransition::run(
            this, platform::ViewTransition::Kind::Flip,
            fromLeft ? platform::ViewTransition::Direction::FromLeft : platform::ViewTransition::Direction::FromRight,
            kFlipSeconds, [&] { changeViewFrom(oldView, newView); }, finished);
    } else if (old != 0) {
        const bool fromLeft = viewId < old;
        m_lastTransition = {Transition::Push, fromLeft, kPushSeconds};
        m_transition = platform::ViewTransition::run(
            this, platform::ViewTransition::Kind::Push,
            fromLeft ? platform::ViewTransition::Direction::FromLeft : platform::ViewTransition::Direction::FromRight,
            kPushSeconds, [&] { changeViewFrom(oldView, newView); }, finished);
    } else {
        m_lastTransition = Transition();
        changeViewFrom(oldView, newView);
    }

    m_curViewId = viewId;
    m_curWorkView = newView;
}

void MainView::changeViewFrom(WorkView* oldView, WorkView* newView)
{
    if (oldView) {
        oldView->hide();
        oldView->deleteLater();
    }
    if (newView) {
        newView->setParent(this);
        newView->show();
        newView->raise();
    }
}

void MainView::initialAnimationFinished(WorkView* view)
{
    if (view && view == m_curWorkView)
        view->onInitialAnimationFinished();
}

AppData* MainView::getAppData() const
{
    return m_pAppData.get();
}

StrokeContainer* MainView::getWatershedStrokeContainer() const
{
    return m_pWatershedStrokes.get();
}

int MainView::getLastEditViewId() const
{
    return m_lastEditViewId;
}

bool MainView::isViewChangedByBackButton() const
{
    return m_bViewChangedByBackButton;
}

MainViewController* MainView::viewController() const
{
    return m_viewController;
}

void MainView::setViewController(MainViewController* controller)
{
    m_viewController = controller;
}

WorkView* MainView::currentWorkView() const
{
    return m_curWorkView;
}

int MainView::currentViewId() const
{
    return m_curViewId;
}

MainView::Transition MainView::lastTransition() const
{
    return m_lastTransition;
}

bool MainView::isTransitionRunning() const
{
    return m_transition && m_transition->isRunning();
}

void MainView::finishTransition()
{
    if (m_transition)
        m_transition->finish();
}
