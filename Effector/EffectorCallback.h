// Progress reports of the depth-of-field engine.
#pragma once

namespace platform {
class ProgressDisplay;
}

class EffectorCallback {
public:
    virtual ~EffectorCallback();
    // percent is 0 to 100 while the blur runs; negative values carry no
    // progress. The engine ignores the answer and never stops early.
    virtual bool progress(int percent) = 0;
};

// Feeds the progress display of a full-size render: spinning with
// "PREPARING" while the depth map and kernels are made, then filling with
// "SAVING" from the first report on.
class LensBlurEffectCallback : public EffectorCallback {
public:
    explicit LensBlurEffectCallback(platform::ProgressDisplay& hud);
    bool progress(int percent) override;

private:
    platform::ProgressDisplay& m_hud;
    bool m_bDeterminate = false;
};
