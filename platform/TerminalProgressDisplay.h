// A progress display for command-line programs: one line on a stream
// (stderr by default), redrawn in place, "LABEL [#####     ]  42%".
// The label alone is shown in the indeterminate mode.
#pragma once

#include "platform/ProgressDisplay.h"

#include <cstdio>
#include <mutex>

namespace platform {

class TerminalProgressDisplay : public ProgressDisplay {
public:
    explicit TerminalProgressDisplay(std::FILE* out = stderr, int barWidth = 30);
    ~TerminalProgressDisplay() override;

    void setLabelText(const QString& text) override;
    void setMode(Mode mode) override;
    void setProgress(float progress) override;
    // Ends the line (called by the destructor when something was drawn).
    void finish();

private:
    void redrawLocked();

    std::FILE* m_out;
    int m_barWidth;
    std::mutex m_mutex;
    QString m_label;
    Mode m_mode = Mode::Indeterminate;
    int m_percent = -1;
    int m_lastDrawnPercent = -2;
    bool m_drawn = false;
    bool m_tty;
    int m_lastLength = 0;
};

} // namespace platform
