#pragma once
// What the component shows in the progress wizard while it downloads; the program supplies the
// window. A user's close of the window reaches the component as Closed(abort).

#include <QString>

class TupdWizardView {
public:
    virtual ~TupdWizardView() = default;
    virtual void SetLocation(const QString& url) = 0;
    virtual void SetCounter(const QString& text) = 0;
    virtual void SetFileSize(const QString& text) = 0;
    virtual void SetRate(const QString& text) = 0;
    virtual void SetTimeLeft(const QString& text) = 0;
    virtual void SetProgress(int currentFile, int allFiles) = 0;
    virtual void ShowWizardCompleted() = 0;
    // The update's setup program has arrived and runs once the program has closed: nothing is
    // installed yet, so nothing may be called completed.
    virtual void ShowSetupReady() = 0;
};
