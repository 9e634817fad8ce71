#include "platform/ResourceLookup.h"

#include <QPixmap>

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

QString imageResourcePath(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString doubled = dot < 0 ? name + QStringLiteral("@2x")
                                    : name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
    const QString first = highResolutionScreen() ? doubled : name;
    const QString second = highResolutionScreen() ? name : doubled;
    // Images live in the resources' "images" folder; a name found at the
    // top level is taken as well.
    for (const QString& candidate : {first, second}) {
        QString path = resourcePath(QStringLiteral("images/") + candidate);
        if (path.isEmpty())
            path = resourcePath(candidate);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QPixmap pixmapResource(const QString& name)
{
    const QString path = imageResourcePath(name);
    if (path.isEmpty())
        return QPixmap();
    QPixmap pixmap(path);
    if (!pixmap.isNull() && path.contains(QStringLiteral("@2x.")))
        pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

} // namespace platform
