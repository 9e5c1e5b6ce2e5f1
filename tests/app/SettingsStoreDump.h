#pragma once
// Test helpers: a settings store's whole content as text lines, and filling one from such lines.

#include "shared/core/SettingsStore.h"

#include <QStringList>
#include <ostream>

// Readable failure messages for texts.
static inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// One line per key ("path/") and per value ("path|name=kind:value"), sorted; paths are
// relative to `path`.
QStringList DumpStore(const TSettingsStore& store, const QString& path = QString());
