// The progress display a background task shows while its main step runs.
// Steps may call it from the worker thread; implementations must allow that.
#pragma once

#include <QString>

namespace platform {

class ProgressDisplay {
public:
    enum class Mode { Indeterminate, Determinate };

    virtual ~ProgressDisplay();
    virtual void setLabelText(const QString& text) = 0;
    virtual void setMode(Mode mode) = 0;
    // 0.0 to 1.0; meaningful in determinate mode.
    virtual void setProgress(float progress) = 0;
};

} // namespace platform
