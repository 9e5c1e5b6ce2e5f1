#pragma once
// Watches for a modal window left waiting in a nested event loop (a dialog's exec that no test
// answers). After a grace period long enough for tests that answer their dialogs from a timer,
// the running test fails and the window is closed, so the loop returns instead of blocking.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

class TModalGuard : public QObject {
public:
    explicit TModalGuard(int graceMs = 10000, int pollMs = 250);

    // One look at the current modal window; public so that its rule can be tested.
    void Check();

private:
    int FGraceMs;
    QTimer FTimer;
    QPointer<QWidget> FSeen;
    QElapsedTimer FSince;
};
