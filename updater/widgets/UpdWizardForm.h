#pragma once
// The progress wizard shown while update files download. A close by the user (title bar, Cancel,
// Escape) asks whether to abort; the component's own closing never asks. The update may end by
// itself while that question is open: the window then outlives the question and frees itself
// once it has been answered, so nothing is written to a window that is gone.

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
    void ShowWizardCompleted();
    // In place of the completed page when the update's setup program is still to run.
    void ShowSetupReady();
    // The component lets go of the window: it closes with no question and no report back, and
    // frees itself as soon as no question or report of its own is under way.
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
    void ShowLastPage(const QString& title, QString note);

    TupdAutoUpdater* FComponent; // none once the component has let go
    int FCallsOut = 0;            // questions and reports under way, each with its own event loop
    bool FFinishing = false;
};
