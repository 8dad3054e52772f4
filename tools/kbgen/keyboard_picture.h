// The keyboard picture in each look a key can have, and the document of the key regions on it.
#pragma once

#include <QImage>
#include <string>

namespace keyrig::kbgen {

enum class Look { Normal, Hover, Checked, Pressed };

// Every key in `look` on the same body, at twice the logical size and with a device pixel ratio
// of 2. Needs a QGuiApplication for the fonts.
QImage RenderKeyboard(Look look);

// The regions of the keyboard, one element per key in table order; empty with `problem` set
// when a key of the table has no name in the program's key table.
std::string CoordinateDocument(std::string& problem);

}  // namespace keyrig::kbgen
