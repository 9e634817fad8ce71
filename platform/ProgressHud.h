// The progress display: a modal overlay laid over a view that runs a given
// function on a worker thread of its own while shown, hides itself when that
// function returns, and reports hudWasHidden on the main thread after
// hiding. Label, mode and progress may be set from the worker thread.
//
// The overlay covers the view (following its size) and takes every mouse
// press and touch that lands on it; in the middle a dark rounded box shows a
// spinner (indeterminate), a bar (determinate) or the custom view, with the
// label under it. hudWasHidden is reported once for each show, through the
// event loop, so the handler may delete the display.
#pragma once

#include "platform/ProgressDisplay.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

namespace platform {

class ProgressHud : public QWidget, public ProgressDisplay {
public:
    enum class HudMode { Indeterminate, Determinate, CustomView };

    // Covers view (taking its touches) once shown; starts hidden.
    explicit ProgressHud(QWidget* view);
    // Waits for a worker that is still running.
    ~ProgressHud() override;

    // The delegate: called on the main thread after the display has hidden.
    void setHudWasHidden(std::function<void(ProgressHud*)> handler);

    // Shows the display and runs work on a new worker thread; hides when it
    // returns.
    void showWhileExecuting(std::function<void()> work, bool animated);
    void show(bool animated);
    // Hides after delaySeconds (0: at once); reports hudWasHidden.
    void hide(bool animated, double delaySeconds = 0);

    // The label under the spinner, progress bar or custom view.
    QString labelText() const;
    HudMode hudMode() const;
    float progress() const;
    // Custom-view mode (the HUD message's icon); the display takes ownership.
    void setCustomView(QWidget* view);
    void setHudMode(HudMode mode);
    // Deletes the display (later) once hidden; off by default.
    void setRemoveFromSuperViewOnHide(bool on);

    // ProgressDisplay, from any thread.
    void setLabelText(const QString& text) override;
    void setMode(Mode mode) override;
    void setProgress(float progress) override;

    // Shown and not yet hidden (a fade out in progress counts as shown).
    bool isShowing() const;
    // The rounded box in the middle, in the display's coordinates.
    QRect boxRect() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Main thread: takes the state the worker may have changed.
    void stateChanged();
    void relayout();
    void hideNow(bool animated);
    void finishHiding();
    void workReturned(bool animated);

    mutable std::mutex m_mutex;  // guards the three values below
    QString m_labelText;
    HudMode m_mode = HudMode::Indeterminate;
    float m_progress = 0.0f;
    std::atomic<bool> m_bUpdatePosted{false};

    std::thread m_worker;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_customView;
    std::function<void(ProgressHud*)> m_hudWasHidden;
    bool m_bRemoveOnHide = false;
    bool m_bShowing = false;
    QRect m_box;
    int m_spinStep = 0;
    QTimer* m_spinTimer = nullptr;
    QTimer* m_hideTimer = nullptr;
    QGraphicsOpacityEffect* m_opacity = nullptr;
    QPropertyAnimation* m_fade = nullptr;
};

} // namespace platform
