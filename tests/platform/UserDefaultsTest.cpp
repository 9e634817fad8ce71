#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

using platform::UserDefaults;

namespace {
const QString kInt = QStringLiteral("UserDefaultsTest.Int");
const QString kBool = QStringLiteral("UserDefaultsTest.Bool");
const QString kString = QStringLiteral("UserDefaultsTest.String");
} // namespace

class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        UserDefaults::setStoragePath(path());
    }
    void TearDown() override { UserDefaults::setStoragePath(QString()); }
    QString path() const { return m_dir.filePath(QStringLiteral("defaults.ini")); }
    QTemporaryDir m_dir;
};

TEST_F(UserDefaultsTest, AbsentKeysReadAsZeroFalseAndInvalid)
{
    EXPECT_FALSE(UserDefaults::hasKey(kInt));
    EXPECT_EQ(UserDefaults::integerForKey(kInt), 0);
    EXPECT_FALSE(UserDefaults::boolForKey(kBool));
    EXPECT_FALSE(UserDefaults::objectForKey(kString).isValid());
    EXPECT_TRUE(UserDefaults::stringForKey(kString).isEmpty());
}

TEST_F(UserDefaultsTest, ValuesSurviveTheTripThroughStorage)
{
    UserDefaults::setInteger(kInt, 1024);
    UserDefaults::setBool(kBool, false);
    UserDefaults::setObject(kString, QStringLiteral("Watershed"));
    UserDefaults::synchronize();
    // What another process (the next launch) reads from the file.
    QSettings stored(path(), QSettings::IniFormat);
    EXPECT_EQ(stored.value(kInt).toInt(), 1024);
    EXPECT_FALSE(stored.value(kBool).toBool()) << "a stored NO must not read back as YES";
    EXPECT_EQ(stored.value(kString).toString(), QStringLiteral("Watershed"));
    UserDefaults::setBool(kBool, true);
    EXPECT_TRUE(UserDefaults::boolForKey(kBool));
    UserDefaults::removeObjectForKey(kBool);
    EXPECT_FALSE(UserDefaults::hasKey(kBool));
}

TEST_F(UserDefaultsTest, RegisteringDefaultsNeverOverwritesAStoredValue)
{
    UserDefaults::setInteger(kInt, 5);
    UserDefaults::registerDefaults({{kInt, 800}, {kBool, true}, {kString, QStringLiteral("None")}});
    EXPECT_EQ(UserDefaults::integerForKey(kInt), 5);
    EXPECT_TRUE(UserDefaults::boolForKey(kBool));
    EXPECT_EQ(UserDefaults::stringForKey(kString), QStringLiteral("None"));
    UserDefaults::setBool(kBool, false);
    UserDefaults::registerDefaults({{kBool, true}});
    EXPECT_FALSE(UserDefaults::boolForKey(kBool)) << "a value changed to NO stays NO";
}
