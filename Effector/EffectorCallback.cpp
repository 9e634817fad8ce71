#include "Effector/EffectorCallback.h"

#include "platform/ProgressDisplay.h"
#include "platform/StringTable.h"

EffectorCallback::~EffectorCallback() = default;

LensBlurEffectCallback::LensBlurEffectCallback(platform::ProgressDisplay& hud) : m_hud(hud)
{
    m_hud.setMode(platform::ProgressDisplay::Mode::Indeterminate);
    m_hud.setLabelText(platform::localizedString(QStringLiteral("PREPARING")));
}

bool LensBlurEffectCallback::progress(int percent)
{
    if (percent < 0)
        return true;
    if (!m_bDeterminate) {
        m_bDeterminate = true;
        m_hud.setMode(platform::ProgressDisplay::Mode::Determinate);
        m_hud.setLabelText(platform::localizedString(QStringLiteral("SAVING")));
    }
    m_hud.setProgress(float(percent) / 100.0f);
    return true;
}
