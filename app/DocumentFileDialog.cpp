#include "app/DocumentFileDialog.h"

#include "app/MessageDialogs.h"
#include "shared/core/StringHelpers.h"

#include <QFileDialog>
#include <QFileInfo>

namespace DocumentFilters {

QString AnyCase(const QString& pattern)
{
    QString out;
    for (const QChar c : pattern) {
        if (c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

QString Filters(bool save)
{
    // The caption, then the patterns in the brackets the dialog hides.
    const QString documents = save ? QStringLiteral("Quandrel Files (*.QDN) (%1)").arg(AnyCase(QStringLiteral("*.qdn")))
                                   : QStringLiteral("Quandrel Files (%1 %2 %3)")
                                         .arg(AnyCase(QStringLiteral("*.qdn")), AnyCase(QStringLiteral("*.pmk")),
                                              AnyCase(QStringLiteral("*.qdx")));
    return documents + QStringLiteral(";;All files (*)");
}

} // namespace DocumentFilters

void SetDocumentFilters(QFileDialog& dialog, bool save)
{
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(DocumentFilters::Filters(save));
}

void SetStyleFilters(QFileDialog& dialog, bool save)
{
    using DocumentFilters::AnyCase;
    const QString styles = save ? QStringLiteral("Quandrel Styles (%1)").arg(AnyCase(QStringLiteral("*.qdns")))
                                : QStringLiteral("Quandrel Files (*.QDN;*.QDNS) (%1 %2)")
                                      .arg(AnyCase(QStringLiteral("*.qdn")), AnyCase(QStringLiteral("*.qdns")));
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(styles + QStringLiteral(";;All files (*)"));
}

bool IsAllFilesFilter(const QString& nameFilter)
{
    // A dialog that hides the patterns answers the caption alone.
    return nameFilter.startsWith(QLatin1String("All files"));
}

QString ExecuteSaveFileDialog(QFileDialog& dialog, const QStringList& extensions,
                              const std::function<QString(const QString& nameFilter)>& typeExtensionOf)
{
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString chosen = dialog.selectedFiles().constFirst();
        const QString name = WithTypeExtension(chosen, extensions, typeExtensionOf(dialog.selectedNameFilter()));
        // The dialog asked about the name as typed; a file under the completed name is asked about here.
        if (name == chosen || !QFileInfo::exists(name) ||
            MessageDlg(&dialog, ReplaceFileQuestion.arg(name), TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes)
            return name;
        dialog.selectFile(name);
    }
}

QString ExecuteSaveFileDialog(QFileDialog& dialog, const QStringList& extensions, const QString& typeExtension)
{
    return ExecuteSaveFileDialog(dialog, extensions, [&typeExtension](const QString& nameFilter) {
        return IsAllFilesFilter(nameFilter) ? QString() : typeExtension;
    });
}
