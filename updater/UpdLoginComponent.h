#pragma once
// The credentials of password-protected transfers. They stay in memory: nothing of the program
// writes them anywhere, and they are sent only inside TLS.

#include <QString>

class TupdLoginComponent {
public:
    virtual ~TupdLoginComponent() = default;

    QString HTTPUsername;
    QString HTTPPassword;
};
