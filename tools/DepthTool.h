// nimbalight-depth: a stereo pair matched into a depth map as the
// application's pair alignment does it.
#pragma once

#include <QString>
#include <QStringList>

struct DepthOptions {
    QString left;
    QString right;
    QString output;        // the depth map, 8-bit grey PNG at the document's depth-map size
    QString disparity;     // empty: none; else the raw left map, 16-bit grey PNG
    int dx = 0, dy = 0;    // the alignment shift of the right shot, thumbnail pixels, y down
    int thumbWidth = 250;  // width of the thumbnails that are matched
    bool quiet = false;
};

struct ParsedDepthArguments {
    enum class Outcome { Run, Help, UsageError } outcome = Outcome::Run;
    DepthOptions options;
    QString error;         // one line, for UsageError
};

// Arguments without the program name.
ParsedDepthArguments parseDepthArguments(const QStringList& arguments);

QString depthUsage();

// Exit status: 0 done, 1 an input or output failure (message on stderr).
int runDepth(const DepthOptions& options);
