#pragma once
// The one application object a benchmark program needs for fonts and widgets. The offscreen
// platform is chosen unless the caller asked for another, so benchmarks run without a display.

#include <QtGlobal>

#include <string>

// TApplication is QGuiApplication or QApplication; name becomes the program's name (argv[0]).
// The object is made on the first call and never destroyed: Qt's own process-wide objects go
// first at exit.
template <class TApplication>
TApplication& BenchApplication(const char* name)
{
    static std::string program(name);
    static char* argv[] = {program.data(), nullptr};
    static int argc = 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static TApplication* app = new TApplication(argc, argv);
    return *app;
}
