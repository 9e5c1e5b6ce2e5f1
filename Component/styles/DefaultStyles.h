#pragma once
// The built-in look: one explicit base style from which everything inherits, plus a short list of
// own values for single styles and states.

#include "Component/styles/StyleStates.h"

// Sets every Inherit flag (all settings of the root style of InTakenPath get own values), then the
// base style's values and the own values of the default sheet. Does not recalculate or repaint.
void ResetDefaultStyles(TStyleStates& styleStates);
