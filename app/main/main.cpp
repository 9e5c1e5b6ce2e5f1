#include "app/MainFormUnit.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    return RunApplication(argc, argv, [] {
        return std::make_unique<TMainForm>(QApplication::arguments().mid(1));
    });
}
