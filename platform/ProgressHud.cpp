#include "platform/ProgressHud.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kFadeMs = 200;
constexpr int kMargin = 20;       // inside the box
constexpr int kSpacing = 8;       // between the indicator and the label
constexpr int kSpinnerSize = 37;
constexpr int kBarWidth = 150;
constexpr int kBarHeight = 8;
constexpr int kMinBoxSide = 100;

QFont labelFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

bool onMainThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

ProgressHud::ProgressHud(QWidget* view)
    : QWidget(view)
    , m_view(view)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    QWidget::hide();
    if (view) {
        setGeometry(view->rect());
        view->installEventFilter(this);
    }

    m_spinTimer = new QTimer(this);
    m_spinTimer->setInterval(80);
    connect(m_spinTimer, &QTimer::timeout, this, [this] {
        m_spinStep = (m_spinStep + 1) % 12;
        update(m_box);
    });

    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);

    m_opacity = new QGraphicsOpacityEffect(this);
    m_opacity->setOpacity(1.0);
    m_opacity->setEnabled(false);
    setGraphicsEffect(m_opacity);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    m_fade->setDuration(kFadeMs);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_fade->endValue().toReal() <= 0.0)
            finishHiding();
        else
            m_opacity->setEnabled(false);
    });
}

ProgressHud::~ProgressHud()
{
    // The worker may still report to this object; it must be done first.
    if (m_worker.joinable())
        m_worker.join();
    if (m_view)
        m_view->removeEventFilter(this);
}

void ProgressHud::setHudWasHidden(std::function<void(ProgressHud*)> handler)
{
    m_hudWasHidden = std::move(handler);
}

void ProgressHud::showWhileExecuting(std::function<void()> work, bool animated)
{
    Q_ASSERT_X(!m_worker.joinable(), "ProgressHud::showWhileExecuting", "a worker is already running");
    if (m_worker.joinable())
        return;
    show(animated);
    m_worker = std::thread([this, work = std::move(work), animated] {
        if (work)
            work();
        QMetaObject::invokeMethod(this, [this, animated] { workReturned(animated); }, Qt::QueuedConnection);
    });
}

void ProgressHud::workReturned(bool animated)
{
    if (m_worker.joinable())
        m_worker.join();
    hide(animated);
}

void ProgressHud::show(bool animated)
{
    m_hideTimer->stop();
    // Shown again while fading out: fade back in from where it is.
    const bool fadingOut = m_bShowing && m_fade->state() == QAbstractAnimation::Running;
    m_bShowing = true;
    if (m_view)
        setGeometry(m_view->rect());
    relayout();
    raise();
    QWidget::show();
    m_fade->stop();
    if (animated) {
        m_opacity->setEnabled(true);
        m_fade->setStartValue(fadingOut ? m_opacity->opacity() : 0.0);
        m_opacity->setOpacity(m_fade->startValue().toReal());
        m_fade->setEndValue(1.0);
        m_fade->start();
    } else {
        m_opacity->setOpacity(1.0);
        m_opacity->setEnabled(false);
    }
    if (hudMode() == HudMode::Indeterminate)
        m_spinTimer->start();
}

void ProgressHud::hide(bool animated, double delaySeconds)
{
    if (!m_bShowing)
        return;
    m_hideTimer->stop();
    if (delaySeconds > 0) {
        disconnect(m_hideTimer, &QTimer::timeout, this, nullptr);
        connect(m_hideTimer, &QTimer::timeout, this, [this, animated] { hideNow(animated); });
        m_hideTimer->start(static_cast<int>(std::lround(delaySeconds * 1000.0)));
        return;
    }
    hideNow(animated);
}

void ProgressHud::hideNow(bool animated)
{
    if (!m_bShowing)
        return;
    m_fade->stop();
    if (animated && isVisible()) {
        m_opacity->setEnabled(true);
        m_fade->setStartValue(m_opacity->opacity());
        m_fade->setEndValue(0.0);
        m_fade->start();
    } else {
        finishHiding();
    }
}

void ProgressHud::finishHiding()
{
    if (!m_bShowing)
        return;
    m_bShowing = false;
    m_spinTimer->stop();
    QWidget::hide();
    m_opacity->setOpacity(1.0);
    m_opacity->setEnabled(false);
    // Reported from the event loop, not from inside the animation or a
    // caller's stack, so that the handler may delete this display.
    QPointer<ProgressHud> self(this);
    QTimer::singleShot(0, QCoreApplication::instance(), [self] {
        if (!self)
            return;
        const bool remove = self->m_bRemoveOnHide;
        if (self->m_hudWasHidden)
            self->m_hudWasHidden(self.data());
        if (self && remove)
            self->deleteLater();
    });
}

QString ProgressHud::labelText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_labelText;
}

ProgressHud::HudMode ProgressHud::hudMode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mode;
}

float ProgressHud::progress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_progress;
}

void ProgressHud::setCustomView(QWidget* view)
{
    Q_ASSERT(onMainThread());
    if (m_customView && m_customView != view)
        delete m_customView.data();
    m_customView = view;
    if (view) {
        view->setParent(this);
        view->setAttribute(Qt::WA_TransparentForMouseEvents);
        view->show();
    }
    relayout();
}

void ProgressHud::setHudMode(HudMode mode)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mode = mode;
    }
    stateChanged();
}

void ProgressHud::setRemoveFromSuperViewOnHide(bool on)
{
    m_bRemoveOnHide = on;
}

void ProgressHud::setLabelText(const QString& text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_labelText = text;
    }
    stateChanged();
}

void ProgressHud::setMode(Mode mode)
{
    setHudMode(mode == Mode::Determinate ? HudMode::Determinate : HudMode::Indeterminate);
}

void ProgressHud::setProgress(float progress)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress = std::clamp(progress, 0.0f, 1.0f);
    }
    stateChanged();
}

bool ProgressHud::isShowing() const
{
    return m_bShowing;
}

QRect ProgressHud::boxRect() const
{
    return m_box;
}

void ProgressHud::stateChanged()
{
    if (!onMainThread()) {
        // One pending update at a time however often the worker reports.
        if (!m_bUpdatePosted.exchange(true))
            QMetaObject::invokeMethod(this, [this] { stateChanged(); }, Qt::QueuedConnection);
        return;
    }
    m_bUpdatePosted.store(false);
    relayout();
    if (m_bShowing && hudMode() == HudMode::Indeterminate)
        m_spinTimer->start();
    else
        m_spinTimer->stop();
    update();
}

void ProgressHud::relayout()
{
    const HudMode mode = hudMode();
    const QString label = labelText();
    QSize indicator;
    switch (mode) {
    case HudMode::Indeterminate:
        indicator = QSize(kSpinnerSize, kSpinnerSize);
        break;
    case HudMode::Determinate:
        indicator = QSize(kBarWidth, kBarHeight);
        break;
    case HudMode::CustomView:
        indicator = m_customView ? m_customView->size() : QSize();
        break;
    }
    const QFontMetrics metrics(labelFont(font()));
    const int maxLabelWidth = std::max(0, width() - 4 * kMargin);
    const QSize labelSize = label.isEmpty() ? QSize()
                                            : QSize(std::min(metrics.horizontalAdvance(label), maxLabelWidth),
                                                    metrics.height());
    int contentWidth = std::max(indicator.width(), labelSize.width());
    int contentHeight = indicator.height();
    if (!label.isEmpty())
        contentHeight += (indicator.height() > 0 ? kSpacing : 0) + labelSize.height();
    const int boxWidth = std::max(kMinBoxSide, contentWidth + 2 * kMargin);
    const int boxHeight = std::max(kMinBoxSide, contentHeight + 2 * kMargin);
    const QSize boxSize(boxWidth, boxHeight);
    m_box = QRect(QPoint((width() - boxSize.width()) / 2, (height() - boxSize.height()) / 2), boxSize);

    if (m_customView) {
        m_customView->setVisible(mode == HudMode::CustomView);
        const int top = m_box.top() + (m_box.height() - contentHeight) / 2;
        m_customView->move(m_box.left() + (m_box.width() - indicator.width()) / 2, top);
    }
}

bool ProgressHud::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Resize) {
        setGeometry(m_view->rect());
        relayout();
    }
    return QWidget::eventFilter(watched, event);
}

void ProgressHud::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 204));
    painter.drawRoundedRect(QRectF(m_box), 10, 10);

    const HudMode mode = hudMode();
    const QString label = labelText();
    const QFont font = labelFont(this->font());
    const QFontMetrics metrics(font);
    int indicatorHeight = 0;
    switch (mode) {
    case HudMode::Indeterminate:
        indicatorHeight = kSpinnerSize;
        break;
    case HudMode::Determinate:
        indicatorHeight = kBarHeight;
        break;
    case HudMode::CustomView:
        indicatorHeight = m_customView ? m_customView->height() : 0;
        break;
    }
    const int contentHeight =
        indicatorHeight + (label.isEmpty() ? 0 : (indicatorHeight > 0 ? kSpacing : 0) + metrics.height());
    const int top = m_box.top() + (m_box.height() - contentHeight) / 2;
    const QPointF centre(m_box.center().x() + 0.5, top + indicatorHeight / 2.0);

    if (mode == HudMode::Indeterminate) {
        // Twelve spokes, the leading one brightest.
        for (int i = 0; i < 12; ++i) {
            const int age = (m_spinStep - i + 12) % 12;
            QColor color(255, 255, 255, 255 - age * 18);
            painter.setPen(QPen(color, 3.0, Qt::SolidLine, Qt::RoundCap));
            const double angle = i * M_PI / 6.0;
            const QPointF dir(std::sin(angle), -std::cos(angle));
            painter.drawLine(centre + dir * 9.0, centre + dir * 17.0);
        }
    } else if (mode == HudMode::Determinate) {
        const QRectF bar(centre.x() - kBarWidth / 2.0, top, kBarWidth, kBarHeight);
        painter.setPen(QPen(Qt::white, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), kBarHeight / 2.0, kBarHeight / 2.0);
        const double filled = (kBarWidth - 3.0) * static_cast<double>(progress());
        if (filled > 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::white);
            painter.drawRoundedRect(QRectF(bar.left() + 1.5, bar.top() + 1.5, filled, kBarHeight - 3.0),
                                    (kBarHeight - 3.0) / 2, (kBarHeight - 3.0) / 2);
        }
    }

    if (!label.isEmpty()) {
        painter.setPen(Qt::white);
        painter.setFont(font);
        const QRect labelRect(m_box.left() + kMargin / 2, top + contentHeight - metrics.height(),
                              m_box.width() - kMargin, metrics.height());
        painter.drawText(labelRect, Qt::AlignCenter | Qt::TextSingleLine,
                         metrics.elidedText(label, Qt::ElideRight, labelRect.width()));
    }
}

// Modal while shown: nothing that lands on the display reaches the view.
void ProgressHud::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressHud::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressHud::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressHud::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressHud::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

bool ProgressHud::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

} // namespace platform
