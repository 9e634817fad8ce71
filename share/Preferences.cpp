#include "share/Preferences.h"

#include "platform/UserDefaults.h"

namespace prefs {

QVariantMap preferenceDefaults()
{
    return {
        {kUploadQuality, QString::fromLatin1(kSizeLarge)},
        {kUploadCustomSize, 800},
        {kSaveQuality, QString::fromLatin1(kSizeMiddle)},
        {kSaveCustomQuality, 1024},
        {kAutoSaveInCamera, false},
        {kAutoSaveInCameraWithWIFI, false},
        {kInitialEditMode, QString::fromLatin1(kEditModeNone)},
        {kGuideMessage, true},
        {kSoundEffects, true},
        {kAppStoreRatedKey, false},
        {kShowTwoShotHelp, true},
        {kShowCalibHelp, true},
        {kShowPaintingHelp, true},
        {kShowStrokingHelp, true},
    };
}

void registerPreferenceDefaults()
{
    platform::UserDefaults::registerDefaults(preferenceDefaults());
}

bool boolForKey(const char* key)
{
    return platform::UserDefaults::boolForKey(QString::fromLatin1(key));
}

int integerForKey(const char* key)
{
    return platform::UserDefaults::integerForKey(QString::fromLatin1(key));
}

QString stringForKey(const char* key)
{
    return platform::UserDefaults::stringForKey(QString::fromLatin1(key));
}

void setBool(const char* key, bool value)
{
    platform::UserDefaults::setBool(QString::fromLatin1(key), value);
}

void setInteger(const char* key, int value)
{
    platform::UserDefaults::setInteger(QString::fromLatin1(key), value);
}

void setString(const char* key, const QString& value)
{
    platform::UserDefaults::setObject(QString::fromLatin1(key), value);
}

} // namespace prefs
