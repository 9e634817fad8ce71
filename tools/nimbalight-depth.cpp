#include "tools/DepthTool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const ParsedDepthArguments parsed = parseDepthArguments(arguments);
    switch (parsed.outcome) {
    case ParsedDepthArguments::Outcome::Help:
        std::fputs(depthUsage().toLocal8Bit().constData(), stdout);
        return 0;
    case ParsedDepthArguments::Outcome::UsageError:
        std::fprintf(stderr, "nimbalight-depth: %s\nTry 'nimbalight-depth --help'.\n",
                     parsed.error.toLocal8Bit().constData());
        return 2;
    case ParsedDepthArguments::Outcome::Run:
        break;
    }
    return runDepth(parsed.options);
}
