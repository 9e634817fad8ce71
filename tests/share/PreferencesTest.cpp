#include "share/Preferences.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        platform::UserDefaults::setStoragePath(path());
    }
    void TearDown() override { platform::UserDefaults::setStoragePath(QString()); }
    QString path() const { return m_dir.filePath(QStringLiteral("defaults.ini")); }
    QTemporaryDir m_dir;
};

TEST_F(PreferencesTest, TheFirstLaunchRegistersEveryDefault)
{
    EXPECT_EQ(prefs::preferenceDefaults().size(), 14);
    prefs::registerPreferenceDefaults();
    EXPECT_EQ(prefs::stringForKey(prefs::kUploadQuality), QStringLiteral("Large"));
    EXPECT_EQ(prefs::integerForKey(prefs::kUploadCustomSize), 800);
    EXPECT_EQ(prefs::stringForKey(prefs::kSaveQuality), QStringLiteral("Middle"));
    EXPECT_EQ(prefs::integerForKey(prefs::kSaveCustomQuality), 1024);
    EXPECT_FALSE(prefs::boolForKey(prefs::kAutoSaveInCamera));
    EXPECT_FALSE(prefs::boolForKey(prefs::kAutoSaveInCameraWithWIFI));
    EXPECT_EQ(prefs::stringForKey(prefs::kInitialEditMode), QStringLiteral("None"));
    EXPECT_TRUE(prefs::boolForKey(prefs::kGuideMessage));
    EXPECT_TRUE(prefs::boolForKey(prefs::kSoundEffects));
    EXPECT_FALSE(prefs::boolForKey(prefs::kAppStoreRatedKey));
    for (const char* key : {prefs::kShowTwoShotHelp, prefs::kShowCalibHelp, prefs::kShowPaintingHelp,
                            prefs::kShowStrokingHelp})
        EXPECT_TRUE(prefs::boolForKey(key)) << key;
    // Registration writes to storage: the next launch finds every key.
    QSettings stored(path(), QSettings::IniFormat);
    for (const QString& key : prefs::preferenceDefaults().keys())
        EXPECT_TRUE(stored.contains(key)) << key.toStdString();
}

TEST_F(PreferencesTest, ALaterLaunchKeepsWhatTheUserChanged)
{
    prefs::registerPreferenceDefaults();
    prefs::setString(prefs::kInitialEditMode, QStringLiteral("Free"));
    prefs::setBool(prefs::kShowPaintingHelp, false);
    prefs::setBool(prefs::kAutoSaveInCamera, true);
    prefs::setInteger(prefs::kSaveCustomQuality, 1280);
    platform::UserDefaults::synchronize();
    prefs::registerPreferenceDefaults();
    EXPECT_EQ(prefs::stringForKey(prefs::kInitialEditMode), QStringLiteral("Free"));
    EXPECT_FALSE(prefs::boolForKey(prefs::kShowPaintingHelp));
    EXPECT_TRUE(prefs::boolForKey(prefs::kAutoSaveInCamera));
    EXPECT_EQ(prefs::integerForKey(prefs::kSaveCustomQuality), 1280);
    EXPECT_EQ(prefs::stringForKey(prefs::kUploadQuality), QStringLiteral("Large"));
}
