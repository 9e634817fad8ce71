#include "platform/StringTable.h"

#include "platform/ResourceLookup.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <mutex>

namespace platform {

namespace {
std::once_flag g_loaded;
QHash<QString, QString> g_table;

void loadTable()
{
    QFile file(resourcePath(QStringLiteral("strings/en.json")));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = object.begin(); it != object.end(); ++it)
        g_table.insert(it.key(), it.value().toString());
}
} // namespace

QString localizedString(const QString& key)
{
    std::call_once(g_loaded, loadTable);
    const auto it = g_table.constFind(key);
    return it == g_table.constEnd() ? key : it.value();
}

} // namespace platform
