#pragma once
// A form with an explicit parent window that goes away with that window: when the parent
// window is closed or destroyed, every parented form that names it is freed first. The About
// box and the print preview are such forms, so a preview never outlives the window it prints.

#include <QDialog>
#include <QPointer>
#include <vector>

class TParentedForm : public QDialog {
    Q_OBJECT
public:
    // parentWindow: the window this form stays above and dies with; null for none, in which
    // case only the caller frees the form.
    explicit TParentedForm(QWidget* parentWindow = nullptr);
    ~TParentedForm() override;

    QWidget* ParentWindow() const { return FParentWindow; }

    // Every living parented form, oldest first.
    static const std::vector<TParentedForm*>& Instances();

private:
    QPointer<QWidget> FParentWindow;
};
