#include "platform/ViewTransition.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace platform {

ViewTransition::ViewTransition(QWidget* container, Kind kind, Direction direction, double seconds)
    : QWidget(container), m_kind(kind), m_direction(direction), m_seconds(seconds)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(container->rect());
}

ViewTransition::~ViewTransition() = default;

QEasingCurve ViewTransition::easeInEaseOut()
{
    // The standard ease-in-ease-out timing: a cubic Bezier through (0.42, 0) and (0.58, 1).
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

ViewTransition* ViewTransition::run(QWidget* container, Kind kind, Direction direction, double seconds,
                                    const std::function<void()>& change, std::function<void()> completion)
{
    Q_ASSERT(container);
    const QPixmap before = container->grab();
    change();
    auto* t = new ViewTransition(container, kind, direction, seconds);
    t->hide(); // kept out of the second snapshot
    t->m_before = before;
    t->m_after = container->grab();
    t->m_completion = std::move(completion);
    t->m_animation.setStartValue(0.0);
    t->m_animation.setEndValue(1.0);
    t->m_animation.setDuration(std::max(1, int(std::lround(seconds * 1000.0))));
    t->m_animation.setEasingCurve(kind == Kind::Push ? easeInEaseOut() : QEasingCurve(QEasingCurve::InOutSine));
    QObject::connect(&t->m_animation, &QVariantAnimation::valueChanged, t, [t] { t->update(); });
    QObject::connect(&t->m_animation, &QVariantAnimation::finished, t, [t] { t->end(); });
    t->raise();
    t->show();
    t->m_animation.start();
    return t;
}

double ViewTransition::progress() const
{
    return m_animation.currentValue().toDouble();
}

void ViewTransition::finish()
{
    m_animation.stop();
    end();
}

void ViewTransition::end()
{
    if (m_ended)
        return;
    m_ended = true;
    hide();
    // The completion may start another transition on the same container or
    // destroy it; this one is only deleted later.
    auto completion = std::move(m_completion);
    deleteLater();
    if (completion)
        completion();
}

void ViewTransition::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const double t = progress();
    const double w = width();
    const double sign = m_direction == Direction::FromRight ? 1.0 : -1.0;
    if (m_kind == Kind::Push) {
        // The new content enters from the side, pushing the old one out.
        const double offset = sign * w * (1.0 - t);
        painter.drawPixmap(QPointF(offset - sign * w, 0), m_before);
        painter.drawPixmap(QPointF(offset, 0), m_after);
        return;
    }
    // The flip: the old face turns to edge-on during the first half, the new
    // one turns on from edge-on during the second, in perspective.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool firstHalf = t < 0.5;
    const double angle = firstHalf ? 180.0 * t : 180.0 * (t - 1.0);
    QTransform turn;
    turn.translate(w / 2.0, height() / 2.0);
    turn.rotate(-sign * angle, Qt::YAxis);
    turn.translate(-w / 2.0, -height() / 2.0);
    painter.setTransform(turn);
    painter.drawPixmap(QPointF(0, 0), firstHalf ? m_before : m_after);
}

} // namespace platform
