#include "app/MainViewController.h"

#include "app/MainView.h"
#include "platform/Screen.h"

#include <QPalette>
#include <QPropertyAnimation>

namespace {
constexpr int kModalSlideMs = 300;
} // namespace

MainViewController::MainViewController() : m_window(std::make_unique<QWidget>())
{
    m_window->setWindowTitle(QStringLiteral("Nimbalight"));
    m_window->setFixedSize(platform::kAppScreenSize);
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, Qt::black);
    m_window->setPalette(palette);
    m_window->setAutoFillBackground(true);

    m_view = new MainView(QRect(QPoint(0, 0), platform::kAppScreenSize), this, m_window.get());
    m_view->show();
    m_view->selectWorkView(1, false);
}

MainViewController::~MainViewController()
{
    // The modal screen and the root view go with the window; the modal one
    // first, as it may refer to the screen under it.
    delete m_modal.data();
    m_window.reset();
}

QWidget* MainViewController::window() const
{
    return m_window.get();
}

MainView* MainViewController::view() const
{
    return m_view;
}

void MainViewController::presentModalViewController(QWidget* screen, bool animated)
{
    Q_ASSERT(screen);
    if (m_modal && m_modal != screen)
        dismissModalViewControllerAnimated(false);
    m_modal = screen;
    screen->setParent(m_window.get());
    screen->setAutoFillBackground(true);
    const QRect frame = m_window->rect();
    screen->setGeometry(frame);
    screen->raise();
    screen->show();
    if (animated) {
        auto* slide = new QPropertyAnimation(screen, "pos", screen);
        slide->setDuration(kModalSlideMs);
        slide->setStartValue(QPoint(0, frame.height()));
        slide->setEndValue(QPoint(0, 0));
        slide->setEasingCurve(QEasingCurve::OutCubic);
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void MainViewController::dismissModalViewControllerAnimated(bool animated)
{
    QWidget* screen = m_modal;
    m_modal = nullptr;
    if (!screen)
        return;
    if (!animated || !screen->isVisible()) {
        screen->hide();
        screen->deleteLater();
        return;
    }
    auto* slide = new QPropertyAnimation(screen, "pos", screen);
    slide->setDuration(kModalSlideMs);
    slide->setStartValue(screen->pos());
    slide->setEndValue(QPoint(0, m_window->height()));
    slide->setEasingCurve(QEasingCurve::InCubic);
    QObject::connect(slide, &QAbstractAnimation::finished, screen, [screen] {
        screen->hide();
        screen->deleteLater();
    });
    // It takes no more touches while it leaves.
    screen->setAttribute(Qt::WA_TransparentForMouseEvents);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

QWidget* MainViewController::modalViewController() const
{
    return m_modal;
}
