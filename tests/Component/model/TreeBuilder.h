#pragma once
// The tree builders moved to tests/support; this name stays for tests written against it.
#include "support/TreeBuilder.h"
