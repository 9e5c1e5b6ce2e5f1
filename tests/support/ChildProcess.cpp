#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <map>
#include <string>

namespace {
std::map<std::string, TChildMain>& Children()
{
    static std::map<std::string, TChildMain> children;
    return children;
}
const char* const ChildFlag = "--child";
} // namespace

bool RegisterChild(const char* name, TChildMain main)
{
    Children()[name] = main;
    return true;
}

int RunChildIfAsked(int argc, char** argv)
{
    if (argc < 3 || std::string(argv[1]) != ChildFlag)
        return -1;
    const auto child = Children().find(argv[2]);
    if (child == Children().end())
        return 127;
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return child->second(arguments);
}

bool StartChild(QProcess& process, const char* name, const QStringList& arguments)
{
    process.start(QCoreApplication::applicationFilePath(), QStringList{ChildFlag, name} + arguments);
    return process.waitForStarted(60000);
}
