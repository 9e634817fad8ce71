#include "platform/ViewTag.h"

#include <QVariant>
#include <QWidget>

namespace platform {

namespace {
constexpr const char* kTagProperty = "nimbalightTag";
}

int viewTag(const QWidget* view)
{
    return view ? view->property(kTagProperty).toInt() : 0;
}

void setViewTag(QWidget* view, int tag)
{
    view->setProperty(kTagProperty, tag);
}

QWidget* viewWithTag(QWidget* root, int tag)
{
    if (!root)
        return nullptr;
    if (viewTag(root) == tag)
        return root;
    for (QObject* child : root->children()) {
        if (auto* w = qobject_cast<QWidget*>(child)) {
            if (QWidget* found = viewWithTag(w, tag))
                return found;
        }
    }
    return nullptr;
}

} // namespace platform
