#pragma once
// The About box: the program's version, the maker's web site and the licence agreement. A
// parented form: given a parent window, it goes away with that window.

#include "app/ParentedForm.h"

#include <QString>
#include <functional>

class TWhiteTop;
class QLabel;
class QPushButton;

class TAboutForm : public TParentedForm {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parentWindow = nullptr);

    // "Version 3.0", with " PRERELEASE" on a pre-release build.
    static QString VersionText();
    // Opens the maker's web site; its default asks the desktop.
    std::function<void(const QString& url)> OpenWebSite;

    TWhiteTop* WhiteTop = nullptr;
    QLabel* WebSiteLabel = nullptr;
    QLabel* CompanyImage = nullptr;
    QPushButton* ViewEULAButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

void ShowAboutBox();
