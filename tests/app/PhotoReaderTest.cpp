#include "app/PhotoReader.h"

#include <gtest/gtest.h>

TEST(PhotoReaderTest, TheSizeLimitsHoldAtTheirBoundaries)
{
    struct Case {
        QSize size;
        PhotoProblem problem;
    } cases[] = {
        {{3264, 2448}, PhotoProblem::None},
        {{8192, 8192}, PhotoProblem::None},
        {{8193, 8192}, PhotoProblem::TooLarge},
        {{16384, 100}, PhotoProblem::None},
        {{16385, 100}, PhotoProblem::TooLarge},
        {{1, 400}, PhotoProblem::None},   // a working image 1 pixel wide
        {{1, 401}, PhotoProblem::TooSmall}, // 0 pixels wide
        {{401, 1}, PhotoProblem::TooSmall},
        {{1, 1}, PhotoProblem::None},
        {{0, 10}, PhotoProblem::TooSmall},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkPhotoSize(c.size), c.problem) << c.size.width() << " x " << c.size.height();
}
