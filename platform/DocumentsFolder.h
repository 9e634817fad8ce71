// The application's documents folder ("org.jpg", "saved.jpg", "upload.sqlite").
// Default: the user's application data folder for Nimbalight; the variable
// NIMBALIGHT_DOCUMENTS or setDocumentsFolder overrides it.
#pragma once

#include <QString>

namespace platform {

QString documentsFolder();           // created on first use
void setDocumentsFolder(const QString& path);
QString documentPath(const QString& name);

} // namespace platform
