#pragma once
// The small value types every part of the decision-tree component shares.

#include <cstdint>

// Kind of fork a node opens. A node without children is an end node whatever its type.
enum TNodeType : uint8_t {
    ntDecision = 0,      // choose one option ("Decision")
    ntMultiDecision = 1, // choose any set of options, optionally within a budget ("MultiDecision")
    ntChance = 2,        // chance fork ("Chance")
};

// Meaning of the branch probabilities under a chance node.
enum TChanceType : uint8_t {
    ctAnySum = 0,  // weights of any sum ("AnySum")
    ctPercent = 1, // percentages meant to add up to 100 ("Percent")
};

// The parts of a drawn node that can be hit, selected and edited; each node keeps one laid-out
// rectangle per value, in this order.
enum TNodeElementType : uint8_t {
    htOptionDescriptor = 0,
    htSymbol,
    htProbability,
    htPayoff,
    htPlusMinus,
    htRollUpDown,
    htSymbolAttributeBox,
    htSymbolAttributeCaption,
    htSymbolAttributeOwner,
    htSymbolAttributeMultiBudget,
    htSymbolAttributeMultiInvestment,
    htSymbolAttributeDueDate,
    htSymbolAttributeFixed,
};
constexpr int NodeElementTypeCount = 13;

// Money: a 64-bit fixed-point value in units of 1/10000 of a currency unit.
using TCurrency = int64_t;
constexpr int64_t CurrencyScale = 10000;

// Date and time as a day count (whole days since 1899-12-30, the fraction is the time of day).
using TDateTime = double;
