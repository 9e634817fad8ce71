#include "platform/DocumentsFolder.h"

#include <QDir>
#include <QStandardPaths>

#include <mutex>

namespace platform {

namespace {
std::mutex g_mutex;
QString g_folder;
} // namespace

QString documentsFolder()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_folder.isEmpty()) {
        const QByteArray fromEnv = qgetenv("NIMBALIGHT_DOCUMENTS");
        if (!fromEnv.isEmpty())
            g_folder = QString::fromLocal8Bit(fromEnv);
        else
            g_folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Nimbalight");
    }
    QDir().mkpath(g_folder);
    return g_folder;
}

void setDocumentsFolder(const QString& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_folder = path;
}

QString documentPath(const QString& name)
{
    return documentsFolder() + QLatin1Char('/') + name;
}

} // namespace platform
