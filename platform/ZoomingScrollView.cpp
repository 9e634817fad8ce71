#include "platform/ZoomingScrollView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStyleHints>
#include <QTimer>
#include <QTouchEvent>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

double distance(const QPointF& a, const QPointF& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// How far apart two taps may land and still count as a double tap.
constexpr double kDoubleTapSlop = 30.0;

} // namespace

TouchResponder::~TouchResponder() = default;

ZoomingScrollView::ZoomingScrollView(QWidget* parent)
    : QWidget(parent)
    , m_delayTimer(new QTimer(this))
    , m_animation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    m_delayTimer->setSingleShot(true);
    m_delayTimer->setInterval(kContentTouchDelayMs);
    connect(m_delayTimer, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Pending)
            offerToContent();
    });
    m_animation->setDuration(kAnimationMs);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    m_clock.start();
}

ZoomingScrollView::~ZoomingScrollView()
{
    m_animation->stop();
    if (m_content)
        m_content->removeEventFilter(this);
}

void ZoomingScrollView::setContentView(QWidget* content, const QSizeF& boundsSize)
{
    if (m_content)
        m_content->removeEventFilter(this);
    m_content = content;
    m_bounds = boundsSize;
    if (m_content) {
        m_content->setParent(this);
        m_content->setAttribute(Qt::WA_AcceptTouchEvents);
        m_content->installEventFilter(this);
        m_content->show();
    }
    m_offset = clampOffset(m_offset, m_zoom);
    applyLayout();
}

QWidget* ZoomingScrollView::contentView() const { return m_content; }
QSizeF ZoomingScrollView::contentBoundsSize() const { return m_bounds; }
QSizeF ZoomingScrollView::contentSize() const { return m_bounds * m_zoom; }

QRectF ZoomingScrollView::contentFrame() const { return QRectF(m_contentOrigin, contentSize()); }
void ZoomingScrollView::setContentFrameOrigin(const QPointF& origin) { m_contentOrigin = origin; }

QPointF ZoomingScrollView::contentOffset() const { return m_offset; }

void ZoomingScrollView::setContentOffset(const QPointF& offset, bool animated)
{
    if (animated)
        animateTo(m_zoom, offset);
    else {
        stopAnimation();
        setZoomAndOffset(m_zoom, offset);
    }
}

double ZoomingScrollView::zoomScale() const { return m_zoom; }
double ZoomingScrollView::minimumZoomScale() const { return m_minZoom; }
double ZoomingScrollView::maximumZoomScale() const { return m_maxZoom; }

void ZoomingScrollView::setMinimumZoomScale(double scale)
{
    Q_ASSERT(scale > 0);
    m_minZoom = scale;
    m_maxZoom = std::max(m_maxZoom, scale);
    if (m_zoom < m_minZoom)
        setZoomAndOffset(m_minZoom, m_offset);
}

void ZoomingScrollView::setMaximumZoomScale(double scale)
{
    Q_ASSERT(scale > 0);
    m_maxZoom = scale;
    m_minZoom = std::min(m_minZoom, scale);
    if (m_zoom > m_maxZoom)
        setZoomAndOffset(m_maxZoom, m_offset);
}

void ZoomingScrollView::setZoomScale(double scale, bool animated)
{
    const double zoom = std::clamp(scale, m_minZoom, m_maxZoom);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const QPointF offset = contentPointFromView(centre) * zoom - centre;
    if (animated)
        animateTo(zoom, offset);
    else {
        stopAnimation();
        setZoomAndOffset(zoom, offset);
    }
}

void ZoomingScrollView::zoomToRect(const QRectF& rect, bool animated)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const double zoom = std::clamp(std::min(width() / rect.width(), height() / rect.height()), m_minZoom, m_maxZoom);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const QPointF offset = rect.center() * zoom - centre;
    if (animated)
        animateTo(zoom, offset);
    else {
        stopAnimation();
        setZoomAndOffset(zoom, offset);
    }
}

bool ZoomingScrollView::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void ZoomingScrollView::setDelaysContentTouches(bool delays) { m_delaysContentTouches = delays; }
bool ZoomingScrollView::delaysContentTouches() const { return m_delaysContentTouches; }

void ZoomingScrollView::setPanMinimumNumberOfTouches(int count)
{
    Q_ASSERT(count >= 1);
    m_panMinTouches = count;
}

int ZoomingScrollView::panMinimumNumberOfTouches() const { return m_panMinTouches; }

void ZoomingScrollView::setAlwaysBounceHorizontal(bool on) { m_bounceH = on; }
void ZoomingScrollView::setAlwaysBounceVertical(bool on) { m_bounceV = on; }
bool ZoomingScrollView::alwaysBounceHorizontal() const { return m_bounceH; }
bool ZoomingScrollView::alwaysBounceVertical() const { return m_bounceV; }

QPointF ZoomingScrollView::contentPoint(const Touch& touch) const
{
    if (!m_content)
        return {};
    return touch.locationInView(m_content) / m_zoom;
}

QPointF ZoomingScrollView::contentPointFromView(const QPointF& viewPoint) const
{
    if (!m_content)
        return {};
    return m_content->mapFrom(this, viewPoint) / m_zoom;
}

bool ZoomingScrollView::touchesShouldBegin(const TouchSet&, const TouchEvent&, QWidget*) { return true; }
bool ZoomingScrollView::touchesShouldCancelInContentView(QWidget*) { return true; }
void ZoomingScrollView::layoutSubviews() {}
void ZoomingScrollView::scrollViewDidZoom() {}
void ZoomingScrollView::scrollViewDidScroll() {}

// --- geometry ---------------------------------------------------------------

QPointF ZoomingScrollView::clampOffset(const QPointF& offset, double zoom) const
{
    const QSizeF content = m_bounds * zoom;
    const double maxX = std::max(0.0, content.width() - width());
    const double maxY = std::max(0.0, content.height() - height());
    return QPointF(std::clamp(offset.x(), 0.0, maxX), std::clamp(offset.y(), 0.0, maxY));
}

void ZoomingScrollView::setZoomAndOffset(double zoom, const QPointF& offset)
{
    zoom = std::clamp(zoom, m_minZoom, m_maxZoom);
    const QPointF clamped = clampOffset(offset, zoom);
    const bool zoomChanged = zoom != m_zoom;
    const bool offsetChanged = clamped != m_offset;
    m_zoom = zoom;
    m_offset = clamped;
    applyLayout();
    if (zoomChanged)
        scrollViewDidZoom();
    if (offsetChanged)
        scrollViewDidScroll();
}

void ZoomingScrollView::applyLayout()
{
    layoutSubviews();
    if (!m_content)
        return;
    const QPointF pos = m_contentOrigin - m_offset;
    const QSizeF size = contentSize();
    const QRect geometry(qRound(pos.x()), qRound(pos.y()), qRound(size.width()), qRound(size.height()));
    if (m_content->geometry() != geometry)
        m_content->setGeometry(geometry);
    m_content->update();
}

void ZoomingScrollView::animateTo(double zoom, const QPointF& offset)
{
    stopAnimation();
    zoom = std::clamp(zoom, m_minZoom, m_maxZoom);
    const double z0 = m_zoom;
    const QPointF o0 = m_offset;
    const QPointF o1 = clampOffset(offset, zoom);
    QObject::disconnect(m_animation, nullptr, this, nullptr);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this, z0, zoom, o0, o1](const QVariant& value) {
        const double t = value.toDouble();
        setZoomAndOffset(z0 + (zoom - z0) * t, o0 + (o1 - o0) * t);
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this, zoom, o1] { setZoomAndOffset(zoom, o1); });
    m_animation->start();
}

void ZoomingScrollView::stopAnimation()
{
    if (isAnimating())
        m_animation->stop();
}

void ZoomingScrollView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_offset = clampOffset(m_offset, m_zoom);
    applyLayout();
}

// --- input ------------------------------------------------------------------

bool ZoomingScrollView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (handleMouse(this, event))
            return true;
        break;
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        if (handleTouch(this, event))
            return true;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool ZoomingScrollView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_content) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return handleMouse(m_content, event);
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
            return handleTouch(m_content, event);
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ZoomingScrollView::wheelEvent(QWheelEvent* event)
{
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier) {
        // One notch (120) zooms by 2^(1/4).
        const double factor = std::pow(2.0, event->angleDelta().y() / 480.0);
        const double zoom = std::clamp(m_zoom * factor, m_minZoom, m_maxZoom);
        stopAnimation();
        setZoomAndOffset(zoom, contentPointFromView(at) * zoom - at);
    } else {
        const QPointF delta = !event->pixelDelta().isNull() ? QPointF(event->pixelDelta())
                                                            : QPointF(event->angleDelta()) / 3.0;
        stopAnimation();
        setZoomAndOffset(m_zoom, m_offset - delta);
    }
    event->accept();
}

bool ZoomingScrollView::handleMouse(QWidget* receiver, QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    // Touches are handled as touches; ignore the mouse events made from them.
    if (mouse->source() != Qt::MouseEventNotSynthesized)
        return true;
    const QPointF pos = receiver->mapTo(this, mouse->position());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton || m_mouseDown || !m_fingers.empty())
            return true;
        m_mouseDown = true;
        fingersDown({{0, pos}}, 1, (mouse->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) != 0);
        return true;
    case QEvent::MouseButtonDblClick:
        if (mouse->button() != Qt::LeftButton)
            return true;
        if (m_mouseDown) {
            // The press of this second click already went out as a single tap:
            // take it back and offer it again as a double tap.
            if (m_sequenceMoved || m_forcePan || m_tapCount == 2)
                return true;
            m_tapCount = 2;
            if (m_phase == Phase::Content) {
                if (TouchResponder* r = responder())
                    r->touchesCancelled(touchesFor(m_contentFingers), currentEvent());
                m_contentFingers.clear();
                offerToContent();
            } else if (m_phase == Phase::Ignored && m_fingers.size() == 1) {
                offerToContent();
            }
            return true;
        }
        if (!m_fingers.empty())
            return true;
        // A double click without its press (as synthetic input sends it) is
        // one complete second tap.
        fingersDown({{0, pos}}, 2, false);
        fingersUp({{0, pos}});
        return true;
    case QEvent::MouseMove:
        if (!m_mouseDown)
            return true;
        if (!(mouse->buttons() & Qt::LeftButton)) {
            m_mouseDown = false;
            fingersUp({{0, pos}});
            return true;
        }
        fingersMoved({{0, pos}});
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !m_mouseDown)
            return true;
        m_mouseDown = false;
        fingersUp({{0, pos}});
        return true;
    default:
        return false;
    }
}

bool ZoomingScrollView::handleTouch(QWidget* receiver, QEvent* event)
{
    auto* touch = static_cast<QTouchEvent*>(event);
    touch->accept();
    if (m_mouseDown)
        return true;
    if (event->type() == QEvent::TouchCancel) {
        cancelAll();
        return true;
    }
    std::map<int, QPointF> down, moved, up;
    for (const QEventPoint& point : touch->points()) {
        const QPointF pos = receiver->mapTo(this, point.position());
        switch (point.state()) {
        case QEventPoint::Pressed:
            down[point.id()] = pos;
            break;
        case QEventPoint::Updated:
            moved[point.id()] = pos;
            break;
        case QEventPoint::Released:
            up[point.id()] = pos;
            break;
        default:
            break;
        }
    }
    if (!down.empty()) {
        const int taps = (m_fingers.empty() && down.size() == 1) ? tapCountFor(down.begin()->second, m_clock.elapsed()) : 1;
        fingersDown(down, taps, false);
    }
    if (!moved.empty())
        fingersMoved(moved);
    if (!up.empty())
        fingersUp(up);
    return true;
}

int ZoomingScrollView::tapCountFor(const QPointF& viewPos, qint64 timestamp) const
{
    if (m_lastTapTime < 0)
        return 1;
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    if (timestamp - m_lastTapTime <= interval && distance(viewPos, m_lastTapPos) <= kDoubleTapSlop)
        return 2;
    return 1;
}

// --- the gesture state machine ---------------------------------------------

void ZoomingScrollView::fingersDown(const std::map<int, QPointF>& down, int tapCount, bool forcePan)
{
    const bool first = m_fingers.empty();
    for (const auto& [id, pos] : down)
        m_fingers[id] = Finger{pos, pos};
    if (!first) {
        if (m_phase == Phase::Scrolling)
            resetGestureAnchor(false);
        else if (m_fingers.size() >= 2)
            beginScrolling(false);
        return;
    }

    stopAnimation();
    m_tapCount = tapCount;
    m_forcePan = forcePan;
    m_sequenceMoved = false;
    m_cancelRefused = false;
    m_contentFingers.clear();
    if (forcePan || m_fingers.size() >= 2) {
        m_phase = Phase::Ignored;
        beginScrolling(false);
        return;
    }
    const QPointF at = m_fingers.begin()->second.viewPos;
    const bool onContent = m_content && m_content->isVisible() && m_content->geometry().contains(at.toPoint());
    if (!onContent) {
        m_phase = Phase::Ignored;
        return;
    }
    if (m_delaysContentTouches) {
        m_phase = Phase::Pending;
        m_delayTimer->start();
    } else {
        offerToContent();
    }
}

void ZoomingScrollView::fingersMoved(const std::map<int, QPointF>& moved)
{
    bool beyond = false;
    for (const auto& [id, pos] : moved) {
        auto it = m_fingers.find(id);
        if (it == m_fingers.end())
            continue;
        it->second.viewPos = pos;
        if (distance(pos, it->second.startPos) > kPanThreshold)
            beyond = true;
    }
    if (beyond)
        m_sequenceMoved = true;
    const bool mayPan = m_sequenceMoved && static_cast<int>(m_fingers.size()) >= m_panMinTouches;

    switch (m_phase) {
    case Phase::Pending:
    case Phase::Ignored:
        if (mayPan) {
            beginScrolling(true);
            applyScrollMove();
        }
        break;
    case Phase::Content: {
        if (mayPan && !m_cancelRefused) {
            beginScrolling(true);
            if (m_phase == Phase::Scrolling) {
                applyScrollMove();
                break;
            }
        }
        std::map<int, QPointF> mine;
        for (const auto& [id, pos] : moved) {
            if (m_contentFingers.count(id)) {
                m_contentFingers[id] = pos;
                mine[id] = pos;
            }
        }
        if (!mine.empty())
            if (TouchResponder* r = responder())
                r->touchesMoved(touchesFor(mine), currentEvent());
        break;
    }
    case Phase::Scrolling:
        applyScrollMove();
        break;
    case Phase::Idle:
        break;
    }
}

void ZoomingScrollView::applyScrollMove()
{
    const QPointF c = fingerCentroid(false);
    double zoom = m_zoom;
    if (m_fingers.size() >= 2 && m_anchorSpread > 0 && !m_forcePan)
        zoom = std::clamp(m_anchorZoom * fingerSpread(false) / m_anchorSpread, m_minZoom, m_maxZoom);
    setZoomAndOffset(zoom, m_anchorContent * zoom - c);
}

void ZoomingScrollView::fingersUp(const std::map<int, QPointF>& up)
{
    for (const auto& [id, pos] : up) {
        auto it = m_fingers.find(id);
        if (it != m_fingers.end())
            it->second.viewPos = pos;
    }
    const bool last = std::all_of(m_fingers.begin(), m_fingers.end(), [&up](const auto& f) { return up.count(f.first) != 0; });

    if (m_phase == Phase::Pending && last)
        offerToContent();

    if (m_phase == Phase::Content) {
        std::map<int, QPointF> mine;
        for (const auto& [id, pos] : up)
            if (m_contentFingers.count(id))
                mine[id] = pos;
        if (!mine.empty()) {
            const TouchEvent event = currentEvent();
            for (const auto& entry : mine)
                m_contentFingers.erase(entry.first);
            if (TouchResponder* r = responder())
                r->touchesEnded(touchesFor(mine), event);
        }
    }

    for (const auto& entry : up)
        m_fingers.erase(entry.first);

    if (m_fingers.empty()) {
        const bool wasTap = !m_sequenceMoved && !m_forcePan && m_phase != Phase::Scrolling && up.size() == 1;
        if (wasTap && m_tapCount == 1) {
            m_lastTapTime = m_clock.elapsed();
            m_lastTapPos = up.begin()->second;
        } else {
            m_lastTapTime = -1;
        }
        m_delayTimer->stop();
        m_contentFingers.clear();
        m_phase = Phase::Idle;
    } else if (m_phase == Phase::Scrolling) {
        resetGestureAnchor(false);
    }
}

void ZoomingScrollView::cancelAll()
{
    if (m_phase == Phase::Content && !m_contentFingers.empty())
        if (TouchResponder* r = responder())
            r->touchesCancelled(touchesFor(m_contentFingers), currentEvent());
    m_delayTimer->stop();
    m_fingers.clear();
    m_contentFingers.clear();
    m_phase = Phase::Idle;
    m_lastTapTime = -1;
}

void ZoomingScrollView::offerToContent()
{
    m_delayTimer->stop();
    std::map<int, QPointF> all;
    for (const auto& [id, finger] : m_fingers)
        all[id] = finger.viewPos;
    const TouchSet touches = touchesFor(all);
    const TouchEvent event = currentEvent();
    if (touchesShouldBegin(touches, event, m_content)) {
        m_phase = Phase::Content;
        m_contentFingers = all;
        if (TouchResponder* r = responder())
            r->touchesBegan(touches, event);
    } else {
        m_phase = Phase::Ignored;
    }
}

void ZoomingScrollView::beginScrolling(bool fromTouchDown)
{
    if (m_phase == Phase::Content && !m_contentFingers.empty()) {
        if (!touchesShouldCancelInContentView(m_content)) {
            m_cancelRefused = true;
            return;
        }
        const TouchSet touches = touchesFor(m_contentFingers);
        m_contentFingers.clear();
        if (TouchResponder* r = responder())
            r->touchesCancelled(touches, currentEvent());
    }
    m_delayTimer->stop();
    m_phase = Phase::Scrolling;
    m_sequenceMoved = true;
    resetGestureAnchor(fromTouchDown);
}

void ZoomingScrollView::resetGestureAnchor(bool fromTouchDown)
{
    // A drag that became a pan once past the threshold scrolls by the whole
    // movement since touch down, so the content stays under the finger.
    const QPointF c = fingerCentroid(fromTouchDown);
    m_anchorZoom = m_zoom;
    m_anchorContent = (c + m_offset) / m_zoom;
    m_anchorSpread = fingerSpread(fromTouchDown);
}

QPointF ZoomingScrollView::fingerCentroid(bool atTouchDown) const
{
    QPointF sum;
    for (const auto& entry : m_fingers)
        sum += atTouchDown ? entry.second.startPos : entry.second.viewPos;
    return m_fingers.empty() ? sum : sum / static_cast<double>(m_fingers.size());
}

double ZoomingScrollView::fingerSpread(bool atTouchDown) const
{
    if (m_fingers.size() < 2)
        return 0.0;
    const QPointF c = fingerCentroid(atTouchDown);
    double sum = 0;
    for (const auto& entry : m_fingers)
        sum += distance(atTouchDown ? entry.second.startPos : entry.second.viewPos, c);
    return sum / static_cast<double>(m_fingers.size());
}

Touch ZoomingScrollView::makeTouch(int id, const QPointF& viewPos) const
{
    Touch touch;
    touch.id = id;
    touch.windowPos = mapTo(window(), viewPos);
    touch.tapCount = m_tapCount;
    return touch;
}

TouchSet ZoomingScrollView::touchesFor(const std::map<int, QPointF>& points) const
{
    TouchSet set;
    set.reserve(points.size());
    for (const auto& [id, pos] : points)
        set.push_back(makeTouch(id, pos));
    return set;
}

TouchEvent ZoomingScrollView::currentEvent() const
{
    TouchEvent event;
    for (const auto& [id, finger] : m_fingers)
        event.allTouches.push_back(makeTouch(id, finger.viewPos));
    return event;
}

TouchResponder* ZoomingScrollView::responder() const
{
    return dynamic_cast<TouchResponder*>(m_content);
}

} // namespace platform
