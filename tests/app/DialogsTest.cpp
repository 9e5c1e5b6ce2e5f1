#include "app/DocumentFileDialog.h"
#include "app/forms/OptionsFormUnit.h"
#include "app/forms/SaveNewStyleFormUnit.h"
#include "app/forms/TreePropertiesFormUnit.h"

#include "Component/control/EditDueDateForm.h"
#include "Component/control/ScrollableDecTree.h"

#include <QComboBox>
#include <QFileDialog>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(DialogsTest, FixedDialogsHaveNeitherSizingNorMinimiseOrMaximise)
{
    TOptionsForm options;
    TEditDueDateForm dueDate;
    TSaveNewStyleForm saveStyle;
    TScrollableDecTree box;
    TTreePropertiesForm properties(box.Tree(), nullptr);
    for (QDialog* dialog : std::initializer_list<QDialog*>{&options, &dueDate, &saveStyle, &properties}) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        dialog->show();
        const Qt::WindowFlags flags = dialog->windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)); // only the hints named here
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        dialog->hide();
    }
}

TEST(DialogsTest, DocumentFiltersShowTheirCaptionsAndMatchExtensionsInAnyCase)
{
    struct Case {
        void (*Set)(QFileDialog&, bool);
        bool Save;
        QStringList Captions;
        QStringList Matched, Refused;
    };
    const Case cases[] = {
        {SetDocumentFilters, false, {"Quandrel Files", "All files"}, {"a.qdn", "B.QDN", "c.Qdn", "d.pmk", "E.PMK", "f.qdX"}, {"g.qdns", "h.txt", "qdn"}},
        {SetDocumentFilters, true, {"Quandrel Files (*.QDN)", "All files"}, {"a.qdn", "B.QDN", "c.qDn"}, {"d.pmk", "e.qdn.bak"}},
        {SetStyleFilters, false, {"Quandrel Files (*.QDN;*.QDNS)", "All files"}, {"a.qdns", "B.QDNS", "c.Qdn"}, {"d.pmk", "e.qdnsx"}},
        {SetStyleFilters, true, {"Quandrel Styles", "All files"}, {"a.qdns", "B.QdNs"}, {"c.qdn", "d.qdns.bak"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Captions.constFirst().toStdString());
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        c.Set(dialog, c.Save);
        const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(combo, nullptr);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        EXPECT_EQ(shown, c.Captions);
        // The first filter's patterns, matched as the file list matches them (letter case counts).
        const QString first = dialog.nameFilters().constFirst();
        const qsizetype open = first.lastIndexOf(QLatin1Char('('));
        const QStringList patterns = first.mid(open + 1, first.size() - open - 2).split(QLatin1Char(' '));
        auto matches = [&patterns](const QString& name) {
            for (const QString& p : patterns)
                if (QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(name).hasMatch())
                    return true;
            return false;
        };
        for (const QString& name : c.Matched)
            EXPECT_TRUE(matches(name)) << name.toStdString();
        for (const QString& name : c.Refused)
            EXPECT_FALSE(matches(name)) << name.toStdString();
    }
}
