#pragma once
// The filters of the document and style-file open and save dialogs. Extensions match in any letter case, as
// files written elsewhere often carry them in capitals; the patterns that do so stay out of the
// captions, which read as they always have.

#include <QString>

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
