#include "app/forms/ModalRunner.h"

#include <QDialog>

namespace {
TModalRunner Runner;
}

int RunModal(QDialog& dialog)
{
    return Runner ? Runner(dialog) : dialog.exec();
}

TModalRunner SetModalRunner(TModalRunner runner)
{
    std::swap(Runner, runner);
    return runner;
}
