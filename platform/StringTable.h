// The application's string tables: display texts by key, English first.
#pragma once

#include <QString>

namespace platform {

// The text for key from the current table ("strings/en.json" among the
// resources); the key itself when the table has no entry for it.
QString localizedString(const QString& key);

} // namespace platform
