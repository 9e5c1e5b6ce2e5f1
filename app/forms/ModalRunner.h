#pragma once
// How the small windows (error window, About box, licence) are shown modally: QDialog::exec
// unless a test drives them, so that no test ever waits in a nested modal loop.

#include <functional>

class QDialog;

using TModalRunner = std::function<int(QDialog& dialog)>;

int RunModal(QDialog& dialog);
// Answers the runner installed before; an empty runner brings exec back.
TModalRunner SetModalRunner(TModalRunner runner);
