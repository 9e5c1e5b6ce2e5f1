#pragma once
// The progress wizard shown while update files download. A close by the user (title bar, Cancel,
// Escape) asks whether to abort; the component's own closing never asks.

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;
class TupdAutoUpdater;

class TupdAutoUpdaterWizardForm : public QDialog {
public:
    explicit TupdAutoUpdaterWizardForm(TupdAutoUpdater& component);
    void Prepare();
    void ShowCompleted();
    // The component closes the window: no question, no report back.
    void CloseByComponent();

    QWidget* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* WizardTitle = nullptr;
    QFrame* TopBevel = nullptr;
    QLabel* AboutShadow = nullptr;
    QLabel* AboutLabel = nullptr;
    QGroupBox* LCurrentFile = nullptr;
    QLabel* LDownloadingFileFrom = nullptr;
    QLineEdit* FileURL = nullptr;
    QLabel* LFileSize = nullptr;
    QLabel* LTransferRate = nullptr;
    QLabel* LEstimatedTime = nullptr;
    QProgressBar* ProgressCurrentFile = nullptr;
    QGroupBox* LAllFiles = nullptr;
    QLabel* AllDownloading = nullptr;
    QProgressBar* ProgressAllFiles = nullptr;
    QLabel* AfterNote = nullptr;
    QPushButton* FinishBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    TupdAutoUpdater* FComponent;
    bool FByComponent = false;
    bool FFinishing = false;
    bool FReported = false;
};
