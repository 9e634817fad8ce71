// Touches as the screens receive them. A real touchscreen delivers its
// fingers; on a desktop the mouse is one finger (see ZoomingScrollView for
// the two-finger pan and pinch by modifier and wheel).
#pragma once

#include <QPointF>

#include <vector>

class QWidget;

namespace platform {

struct Touch {
    int id = 0;            // stable for one finger during one sequence
    QPointF windowPos;     // in points of the top-level window
    int tapCount = 1;      // 2 for the second tap of a double tap
    // The location in view's coordinates (points).
    QPointF locationInView(const QWidget* view) const;
};

using TouchSet = std::vector<Touch>;

// Every finger down during the event, not only those that changed.
struct TouchEvent {
    TouchSet allTouches;
};

} // namespace platform
