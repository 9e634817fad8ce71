// The user defaults: the key-value preferences store, on QSettings
// (organisation and application "Nimbalight"). Main thread only. Nothing
// here synchronises except synchronize().
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace platform {

class UserDefaults {
public:
    static bool boolForKey(const QString& key);
    static int integerForKey(const QString& key);
    // The stored object (strings here); an invalid QVariant when absent.
    static QVariant objectForKey(const QString& key);
    static QString stringForKey(const QString& key) { return objectForKey(key).toString(); }
    static void setBool(const QString& key, bool value);
    static void setInteger(const QString& key, int value);
    static void setObject(const QString& key, const QVariant& value);
    static bool hasKey(const QString& key);
    static void removeObjectForKey(const QString& key);
    // Stores each default whose key has no value yet; never overwrites.
    static void registerDefaults(const QVariantMap& defaults);
    static void synchronize();
    // Keeps the defaults in the INI file at path from now on (empty: the
    // standard store again). For tests, so that test programs running side
    // by side never share preferences.
    static void setStoragePath(const QString& path);
};

} // namespace platform
