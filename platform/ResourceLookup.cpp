#include "platform/ResourceLookup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <mutex>

namespace platform {

namespace {
std::mutex g_mutex;
QString g_folder;
std::atomic<bool> g_highResolution{false};

QString findResourceFolder()
{
    const QByteArray fromEnv = qgetenv("NIMBALIGHT_RESOURCES");
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
    if (QCoreApplication::instance()) {
        const QString installed =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../share/nimbalight/resources");
        if (QFileInfo(installed).isDir())
            return QDir(installed).canonicalPath();
    }
    return QStringLiteral(NIMBALIGHT_RESOURCE_DIR);
}
} // namespace

QString resourceFolder()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_folder.isEmpty())
        g_folder = findResourceFolder();
    return g_folder;
}

void setResourceFolder(const QString& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_folder = path;
}

QString resourcePath(const QString& name)
{
    const QString path = resourceFolder() + QLatin1Char('/') + name;
    return QFileInfo(path).isFile() ? path : QString();
}

bool highResolutionScreen()
{
    return g_highResolution.load();
}

void setHighResolutionScreen(bool on)
{
    g_highResolution.store(on);
}

} // namespace platform
