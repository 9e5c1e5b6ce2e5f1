#pragma once
// The filters of the document and style-file open and save dialogs, and the save dialogs' run:
// a chosen name ends in its type's extension. Extensions match in any letter case, as files
// written elsewhere often carry them in capitals; the patterns that do so stay out of the
// captions, which read as they always have.

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;

namespace DocumentFilters {
// "*.qdn" -> "*.[qQ][dD][nN]": a pattern that matches the extension in any letter case.
QString AnyCase(const QString& pattern);
// The open dialog's filters ("Quandrel Files", "All files") or the save dialog's
// ("Quandrel Files (*.QDN)", "All files"), as name filters with hidden patterns.
QString Filters(bool save);
} // namespace DocumentFilters

// Gives the dialog those filters, the first one chosen.
void SetDocumentFilters(QFileDialog& dialog, bool save);
// The same for saved-style files: the import dialog's "Quandrel Files (*.QDN;*.QDNS)" (documents
// and style files) or the save dialog's "Quandrel Styles", and "All files".
void SetStyleFilters(QFileDialog& dialog, bool save);

// The extensions of documents (the reader reads each of them and the open dialog lists them) and
// of saved-style files.
inline const QStringList DocumentExtensions{QStringLiteral("qdn"), QStringLiteral("pmk"), QStringLiteral("qdx")};
inline const QStringList StyleExtensions{QStringLiteral("qdns")};
inline const QString ReplaceFileQuestion = QStringLiteral("The file %1 already exists. Do you want to replace it?");

// Whether a name filter (or its caption, which a dialog that hides the patterns answers) is
// "All files", the filter of every name.
bool IsAllFilesFilter(const QString& nameFilter);

// Runs a save dialog until the user cancels (empty) or chooses a name. The name is completed by
// WithTypeExtension with the extension that typeExtensionOf gives for the chosen name filter
// (empty for "All files"). A name that completing turns into that of an existing file is replaced
// only when the user agrees; otherwise the dialog opens again on it.
QString ExecuteSaveFileDialog(QFileDialog& dialog, const QStringList& extensions,
                              const std::function<QString(const QString& nameFilter)>& typeExtensionOf);
// The same for a dialog of one type of file besides "All files".
QString ExecuteSaveFileDialog(QFileDialog& dialog, const QStringList& extensions, const QString& typeExtension);
