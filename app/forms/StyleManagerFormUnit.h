#pragma once
// The "Remove styles" dialog: the user's saved styles in a list, several of which can be
// selected and deleted.

#include <QDialog>

class QPushButton;
class TBottomLine;
class TSavedStyles;
class TStringTree;

class TStyleManagerForm : public QDialog {
    Q_OBJECT
public:
    TStyleManagerForm(TSavedStyles& styles, QWidget* owner = nullptr);

    // Lists every style of the list under its name, in list order.
    void Fill();
    // Asks, then deletes the styles selected when the user confirmed and lists the rest.
    void DeleteButtonClick();

    TStringTree* StylesStringTree = nullptr;
    TBottomLine* BottomLine = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    void UpdateDeleteButton();
    TSavedStyles& FStyles;
};

// Runs the dialog modally over owner on one list of styles.
void ShowStyleManager(TSavedStyles& styles, QWidget* owner = nullptr);
