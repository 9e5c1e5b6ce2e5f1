#pragma once
// Answers the file dialogs that open while it lives, one after the other: each gets the next
// name typed into its name field and is accepted, or is cancelled once the names have run out.
// A name may follow the type to choose first and a tab ("All files (*)\tnotes.txt").

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QStringList>
#include <QTimer>

class TFileDialogAnswers {
public:
    explicit TFileDialogAnswers(QStringList names) : FNames(std::move(names))
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
        FTimer.start(10);
    }

    // The dialogs answered so far.
    int Answered = 0;

private:
    void Answer()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        ++Answered;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (FNames.isEmpty() || !edit) {
            dialog->reject();
            return;
        }
        const QStringList answer = FNames.takeFirst().split(QLatin1Char('\t'));
        if (answer.size() > 1)
            dialog->selectNameFilter(answer.constFirst());
        edit->setText(answer.constLast());
        static_cast<QDialog*>(dialog)->accept(); // the file dialog's own checks run
    }

    QStringList FNames;
    QTimer FTimer;
};
