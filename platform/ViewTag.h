// Integer tags on views, as the screens identify their buttons and bars.
#pragma once

class QWidget;

namespace platform {

// 0 for an untagged view.
int viewTag(const QWidget* view);
void setViewTag(QWidget* view, int tag);
// The view itself when it has the tag, else the first descendant that has
// it (depth first, in child order); null when none has.
QWidget* viewWithTag(QWidget* root, int tag);

} // namespace platform
