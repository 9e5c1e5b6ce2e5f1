#pragma once
// The document's view settings, copied whole by undo snapshots. The setters only store the
// value: whoever changes a setting recalculates afterwards. The currency settings are checked
// where they are set, so a document can never carry a code that every repaint would fail on.

#include "Component/model/NodeTypes.h"
#include "shared/core/Exceptions.h"

#include <QString>

struct TTreeOptions {
    static constexpr int MaxCurrencyPosFormat = 3;
    static constexpr int MaxCurrencyNegFormat = 15;
    static constexpr int MaxCurrencyDecimals = 255;

    bool OutlineCodes = false;
    QString CurrencySymbol;
    int CurrencyDecimals = 0;
    int CurrencyPosFormat = 0; // the system's positive currency format code
    int CurrencyNegFormat = 0; // the system's negative currency format code
    TDateTime StatusDate = 0;  // 0 means today
    bool ShowPayoff = false;

    void SetOutlineCodes(bool value) { OutlineCodes = value; }
    void SetCurrencySymbol(const QString& value) { CurrencySymbol = value; }
    void SetCurrencyDecimals(int value)
    {
        CheckRange(value, MaxCurrencyDecimals, "Currency decimals");
        CurrencyDecimals = value;
    }
    void SetCurrencyPosFormat(int value)
    {
        CheckRange(value, MaxCurrencyPosFormat, "Positive currency format");
        CurrencyPosFormat = value;
    }
    void SetCurrencyNegFormat(int value)
    {
        CheckRange(value, MaxCurrencyNegFormat, "Negative currency format");
        CurrencyNegFormat = value;
    }
    void SetStatusDate(TDateTime value) { StatusDate = value; }
    void SetShowPayoff(bool value) { ShowPayoff = value; }

    friend bool operator==(const TTreeOptions&, const TTreeOptions&) = default;

private:
    static void CheckRange(int value, int max, const char* what)
    {
        if (value < 0 || value > max)
            throw ArgumentOutOfRangeException(QStringLiteral("%1 must be between 0 and %2, not %3")
                                                  .arg(QLatin1String(what)).arg(max).arg(value));
    }
};
