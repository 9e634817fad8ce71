#include "ui/SubToolbarMgr.h"

#include "platform/ImageButton.h"
#include "platform/ViewTag.h"
#include "ui/Toolbar.h"

#include <QVariantAnimation>
#include <QWidget>

namespace {
constexpr int kFadeMs = 200;
}

SubToolbarMgr::SubToolbarMgr() = default;

SubToolbarMgr::~SubToolbarMgr()
{
    // The fade would report to this manager; the sub-toolbar itself belongs
    // to the screen.
    delete m_fade.data();
}

void SubToolbarMgr::click(Toolbar* parentToolbar, int buttonTag, QWidget* screen, const Creator& creator)
{
    const int rc = removeSubToolbar();
    if (!screen || !creator || (rc != -1 && rc == buttonTag))
        return;
    if (m_subToolbar)
        removeSubToolbarImmediately();

    m_parentToolbar = parentToolbar;
    int x = 0;
    if (parentToolbar) {
        if (platform::ImageButton* button = parentToolbar->buttonWithTag(buttonTag)) {
            // The centre of the button as laid out, in the screen's
            // coordinates (the bar may sit anywhere, its strip be scrolled).
            const QRectF frame = parentToolbar->buttonFrame(buttonTag);
            QWidget* container = button->parentWidget();
            const double inContainer = frame.isEmpty() ? button->geometry().center().x() + 0.5
                                                       : frame.center().x();
            const QPoint origin = screen->mapFromGlobal(container->mapToGlobal(QPoint(0, 0)));
            x = static_cast<int>(origin.x() + inContainer);
        }
    }

    Toolbar* sub = creator(x);
    if (!sub)
        return;
    platform::setViewTag(sub, buttonTag);
    if (sub->parentWidget() != screen)
        sub->setParent(screen);
    sub->show();
    sub->raise();
    m_subToolbar = sub;

    if (parentToolbar) {
        parentToolbar->selectByTag(buttonTag, true);
        parentToolbar->showHelpString(buttonTag, false);
    }
}

int SubToolbarMgr::removeSubToolbar()
{
    if (!m_subToolbar)
        return -1;
    const int tag = platform::viewTag(m_subToolbar);
    if (m_fade)
        return tag;  // already closing
    auto* fade = new QVariantAnimation(m_subToolbar.data());
    fade->setDuration(kFadeMs);
    fade->setStartValue(m_subToolbar->opacity());
    fade->setEndValue(0.0);
    QObject::connect(fade, &QVariantAnimation::valueChanged, fade, [this](const QVariant& value) {
        if (m_subToolbar)
            m_subToolbar->setOpacity(value.toReal());
    });
    // finished is emitted only when the fade ran to its end, not when it is
    // stopped by removeSubToolbarImmediately.
    QObject::connect(fade, &QVariantAnimation::finished, fade, [this] { finishClosing(); });
    m_fade = fade;
    fade->start();
    return tag;
}

void SubToolbarMgr::removeSubToolbarImmediately()
{
    if (m_fade) {
        m_fade->stop();
        m_fade->deleteLater();
        m_fade = nullptr;
    }
    if (m_subToolbar)
        finishClosing();
}

void SubToolbarMgr::finishClosing()
{
    Toolbar* sub = m_subToolbar;
    if (!sub)
        return;
    const int tag = platform::viewTag(sub);
    if (m_parentToolbar)
        m_parentToolbar->selectByTag(tag, false);
    if (m_fade) {
        m_fade->deleteLater();
        m_fade = nullptr;
    }
    // Later: this may run inside the sub-toolbar's own command.
    sub->hide();
    sub->setParent(nullptr);
    sub->deleteLater();
    m_subToolbar = nullptr;
    m_parentToolbar = nullptr;
}

Toolbar* SubToolbarMgr::subToolbar() const
{
    return m_subToolbar;
}

Toolbar* SubToolbarMgr::parentToolbar() const
{
    return m_parentToolbar;
}

bool SubToolbarMgr::isClosing() const
{
    return !m_fade.isNull();
}
