#pragma once
// The user-visible texts of the tree-properties dialog.

#include <QString>

namespace TreePropertiesStrings {
inline const QString Caption = QStringLiteral("Properties");
inline const QString General = QStringLiteral("General");
inline const QString Styles = QStringLiteral("Styles");
inline const QString CurrencyFormat = QStringLiteral("Currency format");
inline const QString ShowOutlineCodes = QStringLiteral("Show outline codes");
inline const QString ShowPayoffValues = QStringLiteral("Show payoff values");
inline const QString StatusDate = QStringLiteral("Statusdate:");
inline const QString StatusDateDontSpecify = QStringLiteral("(uncheck to use current date)");
inline const QString CurrencySymbol = QStringLiteral("Currency symbol:");
inline const QString DigitsAfterDecimal = QStringLiteral("Digits after decimal:");
inline const QString PositiveCurrencyFormat = QStringLiteral("Positive currency format:");
inline const QString NegativeCurrencyFormat = QStringLiteral("Negative currency format:");
inline const QString ReadWindows = QStringLiteral("Read from Windows");
inline const QString Close = QStringLiteral("Close");

inline const QString NodeState = QStringLiteral("Node state:");
inline const QString NodeType = QStringLiteral("Node type:");
inline const QString SettingsCaption = QStringLiteral("Settings for selected state and type:");
inline const QString Fill = QStringLiteral("Fill");
inline const QString Line = QStringLiteral("Line");
inline const QString Font = QStringLiteral("Font");
inline const QString Shadow = QStringLiteral("Shadow");
inline const QString Default = QStringLiteral("Default");

// Undo action names.
inline const QString UndoTreeProperties = QStringLiteral("Decision Tree Properties");
inline const QString UndoShowPayoff = QStringLiteral("Show payoff");
inline const QString UndoModifyStyle = QStringLiteral("Modify style");
} // namespace TreePropertiesStrings
