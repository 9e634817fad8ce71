#include "platform/UserDefaults.h"

#include <QSettings>

#include <memory>

namespace platform {

namespace {
std::unique_ptr<QSettings>& storeHolder()
{
    static std::unique_ptr<QSettings> settings;
    return settings;
}

QSettings& store()
{
    std::unique_ptr<QSettings>& settings = storeHolder();
    if (!settings)
        settings = std::make_unique<QSettings>(QStringLiteral("Nimbalight"), QStringLiteral("Nimbalight"));
    return *settings;
}
} // namespace

bool UserDefaults::boolForKey(const QString& key)
{
    return store().value(key).toBool();
}

int UserDefaults::integerForKey(const QString& key)
{
    return store().value(key).toInt();
}

QVariant UserDefaults::objectForKey(const QString& key)
{
    return store().value(key);
}

void UserDefaults::setBool(const QString& key, bool value)
{
    store().setValue(key, value);
}

void UserDefaults::setInteger(const QString& key, int value)
{
    store().setValue(key, value);
}

void UserDefaults::setObject(const QString& key, const QVariant& value)
{
    store().setValue(key, value);
}

bool UserDefaults::hasKey(const QString& key)
{
    return store().contains(key);
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    store().remove(key);
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        if (!store().contains(it.key()))
            store().setValue(it.key(), it.value());
    }
    store().sync();
}

void UserDefaults::synchronize()
{
    store().sync();
}

void UserDefaults::setStoragePath(const QString& path)
{
    std::unique_ptr<QSettings>& settings = storeHolder();
    if (settings)
        settings->sync();
    if (path.isEmpty())
        settings.reset();
    else
        settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace platform
