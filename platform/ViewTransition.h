// View transitions: the push (the new content slides in from one side while
// the old slides out, 0.4 s ease-in-ease-out) and the flip (the container
// turns about its vertical axis, 1.0 s). The change itself happens at once,
// so that the new views are in place for logic immediately; the animation
// is drawn from snapshots on an overlay that takes no input and goes away
// at the end.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace platform {

class ViewTransition : public QWidget {
public:
    enum class Kind { Push, Flip };
    enum class Direction { FromLeft, FromRight };

    // Snapshots container, runs change (which swaps its children), snapshots
    // it again and animates from the one to the other over the container.
    // completion runs on the main thread when the animation has ended (not
    // when the container is destroyed first). The transition deletes itself.
    static ViewTransition* run(QWidget* container, Kind kind, Direction direction, double seconds,
                               const std::function<void()>& change, std::function<void()> completion);
    ~ViewTransition() override;

    Kind kind() const { return m_kind; }
    Direction direction() const { return m_direction; }
    double duration() const { return m_seconds; }
    // 0 at the start, 1 at the end, eased.
    double progress() const;
    bool isRunning() const { return !m_ended; }
    // Jumps to the end: completion runs now and the transition goes away.
    void finish();

    // The ease-in-ease-out timing curve of the push.
    static QEasingCurve easeInEaseOut();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ViewTransition(QWidget* container, Kind kind, Direction direction, double seconds);
    void end();

    Kind m_kind;
    Direction m_direction;
    double m_seconds;
    QPixmap m_before;
    QPixmap m_after;
    QVariantAnimation m_animation;
    std::function<void()> m_completion;
    bool m_ended = false;
};

} // namespace platform
