#include "ui/HUDMessage.h"

#include "platform/ImageButton.h"
#include "platform/ProgressHud.h"
#include "platform/ResourceLookup.h"

#include <QLabel>
#include <QPixmap>

#include <cmath>

HUDMessage::HUDMessage(const QString& text, const QString& imageName, QWidget* view)
    : m_hud(new platform::ProgressHud(view))
{
    auto* icon = new QLabel;
    const QPixmap pixmap = platform::pixmapResource(imageName);
    icon->setPixmap(pixmap);
    const QSizeF size = pixmap.isNull() ? QSizeF(37, 37) : platform::pixmapPointSize(pixmap);
    icon->resize(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
    m_hud->setCustomView(icon);
    m_hud->setHudMode(platform::ProgressHud::HudMode::CustomView);
    m_hud->setLabelText(text);
    m_hud->setRemoveFromSuperViewOnHide(true);
    // The display deletes itself once it has reported that it is hidden
    // (or goes with its view, should that close first); the message ends
    // with it either way.
    QObject::connect(m_hud, &QObject::destroyed, [this] { delete this; });
}

HUDMessage::~HUDMessage() = default;

platform::ProgressHud* HUDMessage::showMessage(const QString& text, const QString& imageName, QWidget* view,
                                              double durationSeconds)
{
    Q_ASSERT(view);
    if (!view)
        return nullptr;
    auto* message = new HUDMessage(text, imageName, view);
    message->m_hud->show(true);
    message->m_hud->hide(true, durationSeconds);
    return message->m_hud;
}
