#pragma once

#include "tavrine/ocr/PageReader.h"

#include <QImage>
#include <QRect>
#include <QString>

namespace tavrine::capture {

// What in the glyphs under an address read off a bar belies the reading; empty when nothing does. The word's box
// and its characters' boxes lie on the page. A recognizer reads small writing surely and still wrongly: it leaves
// out a letter, makes one of two ("rn" as "m"), or takes one letter for its look-alike ("i" for "I", "l" for "I",
// "v" for "V"). The glyphs tell these apart where the recognizer's confidence does not: every glyph bears a
// character and every character stands on a glyph; an "i" or "j" has its dot and an "l", "I", "1" or "|" none; a
// letter whose capital has its shape ("v" and "V") stands as high as the line's small letters or its capitals; an
// "I" stands as high as the capitals and digits, an "l" as the tall small letters ("h", "d"); a line
// without capitals or digits measures its small letters against its tall ones. Where the line shows no such
// measure, the look-alike is doubted.
QString glyphDoubt(const QImage& page, const OcrWord& word);

} // namespace tavrine::capture
