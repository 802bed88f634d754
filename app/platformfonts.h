#ifndef PLATFORMFONTS_H
#define PLATFORMFONTS_H

#include <QString>

// The view's default family "ＭＳ ゴシック" exists only on Windows. Elsewhere Qt
// would fall back to a proportional Latin font without Japanese glyphs, so the
// family (and its Latin name) is mapped to the monospace Japanese fonts that
// Linux systems commonly have. Call once, after the QApplication exists.
void registerJapaneseFontSubstitutes();

// An installed proportional family with Japanese glyphs for the window's own
// labels, so that their digits and kana come from one font; empty when none
// has them.
QString japaneseInterfaceFamily();

#endif // PLATFORMFONTS_H
