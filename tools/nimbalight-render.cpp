#include "tools/RenderTool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const ParsedArguments parsed = parseRenderArguments(arguments);
    switch (parsed.outcome) {
    case ParsedArguments::Outcome::Help:
        std::fputs(renderUsage().toLocal8Bit().constData(), stdout);
        return 0;
    case ParsedArguments::Outcome::UsageError:
        std::fprintf(stderr, "nimbalight-render: %s\nTry 'nimbalight-render --help'.\n",
                     parsed.error.toLocal8Bit().constData());
        return 2;
    case ParsedArguments::Outcome::Run:
        break;
    }
    return runRender(parsed.options);
}
