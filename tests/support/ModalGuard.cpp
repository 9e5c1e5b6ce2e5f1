#include "support/ModalGuard.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

TModalGuard::TModalGuard(int graceMs, int pollMs) : FGraceMs(graceMs)
{
    connect(&FTimer, &QTimer::timeout, this, &TModalGuard::Check);
    FTimer.start(pollMs);
}

void TModalGuard::Check()
{
    QWidget* modal = QApplication::activeModalWidget();
    // Timers also fire in a test's own processEvents; only a nested loop is a wait for a user.
    if (!modal || QThread::currentThread()->loopLevel() == 0) {
        FSeen = nullptr;
        return;
    }
    if (modal != FSeen) {
        FSeen = modal;
        FSince.start();
        return;
    }
    if (FSince.elapsed() < FGraceMs)
        return;
    ADD_FAILURE() << "A modal window (\"" << modal->windowTitle().toStdString() << "\", "
                  << modal->metaObject()->className()
                  << ") waited for a user; drive it through its runner instead of exec";
    FSeen = nullptr;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}
