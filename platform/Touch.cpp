#include "platform/Touch.h"

#include <QWidget>

namespace platform {

QPointF Touch::locationInView(const QWidget* view) const
{
    if (!view)
        return windowPos;
    return view->mapFrom(view->window(), windowPos);
}

} // namespace platform
