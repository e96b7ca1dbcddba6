// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Thai text into cairo surfaces (PDF, PNG, SVG) through Pango, so that a PDF
// holds the text as text.

#include <cairo.h>
#include <pango/pangocairo.h>

namespace ia::charts {

// A layout for cr in which a size in points is that many user units, set
// without hinting so that widths do not depend on the device.
PangoLayout* CreateUnhintedLayout(cairo_t* cr);

// Draws the layout with its top left corner at the current point, as
// pango_cairo_show_layout does, but every shaped run as one cluster. Text
// extraction orders letters by where their glyphs stand; a Thai tone mark
// moved left over a tall letter (ฟื้น) would come out before its vowel. As one
// cluster the PDF carries the run's text as written beside its glyphs.
// With stretch other than 1 the text is drawn that many times wider than
// laid out, glyphs and spacing alike (the layout's own width is unchanged).
void ShowLayoutAsText(cairo_t* cr, PangoLayout* layout, double stretch = 1.0);

} // namespace ia::charts
