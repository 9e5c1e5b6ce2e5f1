#include "Component/control/DecTree.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include <QTabWidget>
#include <gtest/gtest.h>
TEST(ZzGrab, Pages)
{
    TDecTree tree;
    tree.Document().NewRoot();
    TTreePropertiesForm form(&tree, nullptr);
    form.show();
    form.LoadFromTree();
    for (int i = 0; i < 3; ++i) {
        form.PageControl->setCurrentIndex(i);
        form.grab().save(QStringLiteral("/tmp/props11_page%1.png").arg(i));
    }
}
