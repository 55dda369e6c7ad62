// The text windows' built-in font: a PNG drawn by the project's own generator at build time
// (Source/tools/make_console_font.cpp) and compiled into the library with its real length.
#pragma once

extern const unsigned char ydx_BuiltinFontPNG[];
extern const int ydx_BuiltinFontPNGSize;
