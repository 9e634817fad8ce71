// nimbalight-render: a photo and its depth map rendered through the same
// pipeline and finishing stages as the application's save command.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct RenderOptions {
    QString input;
    QString output;
    QString depth;              // empty: an all-background depth map
    bool preview = false;       // the 400-pixel working image instead of the full-size path
    int size = 0;               // output's longer side; 0: see width/height
    int width = 0, height = 0;  // explicit output size; 0: the photo's own size
    int blurType = 2;           // 2 lens, 3 motion
    std::optional<float> strength, feather;
    std::optional<int> sides, angle, focus, filter;
    bool bokeh = false, sharpen = false;
    int fadingMode = 0;
    std::optional<float> fadingTop, fadingFocus;
    bool vignette = false, colorMask = false, sticker = false;
    bool quiet = false;
};

struct ParsedArguments {
    enum class Outcome { Run, Help, UsageError } outcome = Outcome::Run;
    RenderOptions options;
    QString error;              // one line, for UsageError
};

// Arguments without the program name. No arguments at all selects the
// bundled sample, written to "nimbalight-sample.jpg" in the current folder.
ParsedArguments parseRenderArguments(const QStringList& arguments);

QString renderUsage();

// Exit status: 0 done, 1 an input or output failure (message on stderr).
int runRender(const RenderOptions& options);
