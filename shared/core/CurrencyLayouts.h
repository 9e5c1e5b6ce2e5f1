#pragma once
// The system's currency format codes as the layouts of an amount, the code being the index: '$'
// stands for the currency symbol, 'N' for the number, every other character for itself. The one
// table of them: the tree's amounts, the tree-properties dialog's lists and the reading of the
// desktop's monetary settings all go by it.

inline constexpr const char* PositiveCurrencyLayouts[4] = {"$N", "N$", "$ N", "N $"};
inline constexpr const char* NegativeCurrencyLayouts[16] = {
    "($N)", "-$N", "$-N", "$N-", "(N$)", "-N$", "N-$", "N$-",
    "-N $", "-$ N", "N $-", "$ N-", "$ -N", "N- $", "($ N)", "(N $)",
};
