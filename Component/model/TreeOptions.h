#pragma once
// The document's view settings, copied whole by undo snapshots. The setters only store the
// value: whoever changes a setting recalculates afterwards.

#include "Component/model/NodeTypes.h"

#include <QString>

struct TTreeOptions {
    bool OutlineCodes = false;
    QString CurrencySymbol;
    int CurrencyDecimals = 0;
    int CurrencyPosFormat = 0; // the system's positive currency format code
    int CurrencyNegFormat = 0; // the system's negative currency format code
    TDateTime StatusDate = 0;  // 0 means today
    bool ShowPayoff = false;

    void SetOutlineCodes(bool value) { OutlineCodes = value; }
    void SetCurrencySymbol(const QString& value) { CurrencySymbol = value; }
    void SetCurrencyDecimals(int value) { CurrencyDecimals = value; }
    void SetCurrencyPosFormat(int value) { CurrencyPosFormat = value; }
    void SetCurrencyNegFormat(int value) { CurrencyNegFormat = value; }
    void SetStatusDate(TDateTime value) { StatusDate = value; }
    void SetShowPayoff(bool value) { ShowPayoff = value; }

    friend bool operator==(const TTreeOptions&, const TTreeOptions&) = default;
};
