#pragma once
// The raw message tables (UTF-8), one of MessageCount texts per language, English first.

#include "updater/UpdMessages.h"

namespace updMessages {
extern const char* const* const Tables[LanguageCount];
}
