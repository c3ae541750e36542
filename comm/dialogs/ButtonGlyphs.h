#pragma once
// The small pictures beside the dialogs' button texts. Each is 18 x 16:
// with the style's 4 pixels between icon and text, the two blank columns on
// the right make the 6 the buttons ask for.
//
// Threads: window thread (QPixmap).

#include <QIcon>

QIcon OkGlyph();       // a check mark
QIcon CancelGlyph();   // a cross
QIcon AboutGlyph();    // an "i" in a circle
QIcon DefaultGlyph();  // a turning arrow: back to the usual values
