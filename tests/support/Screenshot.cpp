#include "tests/support/Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace testsupport {

QString saveScreenshot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("NIMBALIGHT_SCREENSHOTS");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

} // namespace testsupport
