// The root view: owns the editing document and the smart selection's
// strokes, and shows exactly one work screen at a time, chosen by view id.
//
// View ids: 1 home (TitleView), 2 pair alignment (CalibView), 3 manual
// painting (FreeEditDepthView), 4 smart selection (AdvEditDepthView),
// 5 effect screen (EffectView). The root view never includes a screen's
// header: main() fills the table of constructors at launch.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>

struct AppData;
struct StrokeContainer;
class MainView;
class MainViewController;
namespace platform { class ViewTransition; }

// Base of the five work screens; created with the frame (0, 0, 320, 480)
// and the root view as parent.
class WorkView : public QWidget {
public:
    WorkView(const QRect& frame, MainView* parent);
    ~WorkView() override;
    // Sent by the root view when the screen's entry animation has ended
    // (never after the very first switch at launch).
    virtual void onInitialAnimationFinished();

protected:
    MainView* m_parent;
};

class MainView : public QWidget {
public:
    using WorkViewFactory = std::function<WorkView*(const QRect& frame, MainView* parent)>;
    // The constructor table, filled by main() (and by tests) before the
    // first switch. An id without an entry makes no new view.
    static void registerWorkView(int viewId, WorkViewFactory factory);
    // Whether an id has an entry (an empty factory removes one).
    static bool hasWorkView(int viewId);

    // What the last switch animated, as the tests and the screens see it.
    struct Transition {
        enum Kind { None, Push, Flip };
        Kind kind = None;
        bool fromLeft = false;
        double duration = 0;
    };

    // initWithFrame:andViewController:
    MainView(const QRect& frame, MainViewController* controller, QWidget* parent = nullptr);
    ~MainView() override;

    // Switches to the screen of viewId. An id without a registered screen
    // changes nothing (the current screen stays, with its document), so that
    // a missing screen can never leave the user on an empty window.
    void selectWorkView(int viewId, bool isBack);

    AppData* getAppData() const;
    StrokeContainer* getWatershedStrokeContainer() const;
    int getLastEditViewId() const;
    bool isViewChangedByBackButton() const;
    MainViewController* viewController() const;
    void setViewController(MainViewController* controller);

    WorkView* currentWorkView() const;
    int currentViewId() const;
    Transition lastTransition() const;
    // True while a push or flip is still running.
    bool isTransitionRunning() const;
    // Ends a running push or flip at once (its completion runs now).
    void finishTransition();

private:
    // changeViewFrom:to: — the old view leaves the hierarchy (and is deleted
    // once control is back in the event loop, since the switch is often
    // asked for from one of its own handlers); the new one is shown.
    void changeViewFrom(WorkView* oldView, WorkView* newView);
    // animationDidStop:finished: and the flip's completion.
    void initialAnimationFinished(WorkView* view);

    MainViewController* m_viewController = nullptr;
    QPointer<WorkView> m_curWorkView;
    int m_curViewId = 0;
    int m_lastEditViewId = 1;
    bool m_bViewChangedByBackButton = false;
    std::unique_ptr<AppData> m_pAppData;
    std::unique_ptr<StrokeContainer> m_pWatershedStrokes;
    Transition m_lastTransition;
    QPointer<platform::ViewTransition> m_transition;
};
