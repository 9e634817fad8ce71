#include "Effector/EffectorCallback.h"

#include "platform/ProgressDisplay.h"
#include "platform/StringTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
class MockDisplay : public platform::ProgressDisplay {
public:
    MOCK_METHOD(void, setLabelText, (const QString&), (override));
    MOCK_METHOD(void, setMode, (Mode), (override));
    MOCK_METHOD(void, setProgress, (float), (override));
};
} // namespace

using ::testing::InSequence;
using Mode = platform::ProgressDisplay::Mode;

TEST(LensBlurEffectCallbackTest, SpinsWhilePreparingThenFillsWhileSaving)
{
    MockDisplay display;
    {
        InSequence order;
        EXPECT_CALL(display, setMode(Mode::Indeterminate));
        EXPECT_CALL(display, setLabelText(platform::localizedString(QStringLiteral("PREPARING"))));
        EXPECT_CALL(display, setMode(Mode::Determinate));
        EXPECT_CALL(display, setLabelText(platform::localizedString(QStringLiteral("SAVING"))));
        EXPECT_CALL(display, setProgress(0.0f));
        EXPECT_CALL(display, setProgress(0.5f));
        EXPECT_CALL(display, setProgress(0.99f));
    }
    LensBlurEffectCallback callback(display);
    EXPECT_TRUE(callback.progress(-1)); // no progress yet: nothing changes
    EXPECT_TRUE(callback.progress(0));
    EXPECT_TRUE(callback.progress(50));
    EXPECT_TRUE(callback.progress(-5));
    EXPECT_TRUE(callback.progress(99));
}
