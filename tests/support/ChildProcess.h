#pragma once
// A test's second process: the test program started again as "<program> --child <name> <args>",
// which runs the function registered under that name instead of the tests. The flag is handled
// before the test framework starts, so the child is never a test of its own (nothing to
// discover, nothing skipped).

#include <QProcess>
#include <QStringList>

using TChildMain = int (*)(const QStringList& arguments);

// For a static in the test file: `const bool registered = RegisterChild("name", &Main);`.
bool RegisterChild(const char* name, TChildMain main);
// The child's exit code when argv asks for a child, else -1 (the tests run).
int RunChildIfAsked(int argc, char** argv);
// Starts the child named name with arguments; false when it could not be started.
bool StartChild(QProcess& process, const char* name, const QStringList& arguments);
