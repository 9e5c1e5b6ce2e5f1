#pragma once
// A main window for tests: made with a settings store of the test's choosing (in memory when none
// is given), every message box and error window it shows recorded and answered without waiting
// (a question with the answer given, No by default).

#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/forms/ErrorFormUnit.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/MemorySettingsStore.h"

#include <QDialog>
#include <QLineEdit>

#include <memory>
#include <utility>
#include <vector>

struct TMainWindowHarness {
    explicit TMainWindowHarness(std::unique_ptr<TSettingsStore> store = std::make_unique<TMemorySettingsStore>(),
                                TModalResult answer = TModalResult::No)
    {
        Previous = TSettingsStore::SetApplication(std::move(store));
        SetMessageDlgHook([this, answer](QWidget*, const QString& text, TMsgDlgType type, int buttons) {
            Shown.push_back({text, type});
            return buttons == mbOK ? TModalResult::OK : answer;
        });
        SetModalRunner([this](QDialog& dialog) {
            if (auto* error = dynamic_cast<TErrorForm*>(&dialog))
                Shown.push_back({error->ExceptionNameEdit->text() + "\r\r" + error->DescriptionEdit->text(),
                                 TMsgDlgType::Error});
            return int(QDialog::Accepted);
        });
        Form = std::make_unique<TMainForm>(QStringList());
    }
    ~TMainWindowHarness()
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        SetModalRunner(nullptr);
        TSettingsStore::SetApplication(std::move(Previous));
    }

    std::unique_ptr<TSettingsStore> Previous;
    std::vector<std::pair<QString, TMsgDlgType>> Shown;
    std::unique_ptr<TMainForm> Form;
};
