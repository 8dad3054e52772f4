// What the resource folder defines for the whole program: the font and style sheet of its
// initial definitions ("UIDEF:XML_INIT"), the named colours the style sheet refers to as
// "@name" ("values:color"), and the string table ("values:string").
#pragma once

#include <QString>

namespace keyrig::ui {

// Gives the application the initial definitions' font and style sheet. Nothing changes, with
// one line on standard error, when they cannot be read.
void ApplyInitialDefinitions();

// `style` with every "@name" of a named colour replaced by the colour.
QString WithNamedColours(QString style);

// The string table's entry `index`, or an empty string.
QString NamedString(int index);

}  // namespace keyrig::ui
