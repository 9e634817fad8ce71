#include "tools/ShareTool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const ShareArguments parsed = parseShareArguments(arguments);
    switch (parsed.outcome) {
    case ShareArguments::Outcome::Help:
        std::fputs(shareUsage().toUtf8().constData(), stdout);
        return 0;
    case ShareArguments::Outcome::UsageError:
        std::fprintf(stderr, "nimbalight-share: %s\nTry 'nimbalight-share --help'.\n", parsed.error.toUtf8().constData());
        return 2;
    case ShareArguments::Outcome::Run:
        break;
    }
    return runShare(parsed.request);
}
