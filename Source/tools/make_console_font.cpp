// Draws the text windows' built-in font, a bitmap font of the project's own, into an 899 x 14 RGB PNG
// and writes it as a C++ byte array for the library. The glyphs '!' to '~' stand side by side on black,
// row 0 left empty and every glyph framed by empty columns, so the font class builds the marker row.
//   make_console_font output.cpp
#include <png.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const int kWidth = 899;
const int kHeight = 14;
const int kFirst = '!', kLast = '~';

// One glyph per character from '!' on: rows from image row 1 down, '|' between rows, '#' ink. Every
// column of a glyph holds ink somewhere, or the font class would see two glyphs. Capitals stand on
// rows 1-9, the lower case x-height is rows 4-9, descenders reach row 12.
const char* const kGlyphs[] = {
    /* ! */ "#|#|#|#|#|#|#|.|#",
    /* " */ ".#.#|.#.#|#.#.",
    /* # */ ".....|.#.#.|.#.#.|#####|.#.#.|#####|.#.#.|.#.#.",
    /* $ */ "..#..|.####|#.#..|#.#..|.###.|..#.#|..#.#|####.|..#..",
    /* % */ "##...|##..#|...#.|...#.|..#..|.#...|.#...|#..##|...##",
    /* & */ ".##...|#..#..|#..#..|.##...|#.#..#|#..#.#|#...#.|#..#.#|.##..#",
    /* ' */ "#|#|#",
    /* ( */ "..#|.#.|.#.|#..|#..|#..|#..|.#.|.#.|..#",
    /* ) */ "#..|.#.|.#.|..#|..#|..#|..#|.#.|.#.|#..",
    /* * */ ".....|..#..|#.#.#|.###.|#.#.#|..#..",
    /* + */ ".....|.....|..#..|..#..|#####|..#..|..#..",
    /* , */ "..|..|..|..|..|..|..|.#|.#|#.",
    /* - */ "....|....|....|....|####",
    /* . */ ".|.|.|.|.|.|.|.|#",
    /* / */ "....#|....#|...#.|...#.|..#..|.#...|.#...|#....|#....",
    /* 0 */ ".###.|#...#|#..##|#.#.#|#.#.#|#.#.#|##..#|#...#|.###.",
    /* 1 */ ".#.|##.|.#.|.#.|.#.|.#.|.#.|.#.|###",
    /* 2 */ ".###.|#...#|....#|....#|...#.|..#..|.#...|#....|#####",
    /* 3 */ ".###.|#...#|....#|....#|..##.|....#|....#|#...#|.###.",
    /* 4 */ "...#.|..##.|.#.#.|#..#.|#..#.|#####|...#.|...#.|...#.",
    /* 5 */ "#####|#....|#....|####.|....#|....#|....#|#...#|.###.",
    /* 6 */ "..##.|.#...|#....|####.|#...#|#...#|#...#|#...#|.###.",
    /* 7 */ "#####|....#|....#|...#.|...#.|..#..|..#..|.#...|.#...",
    /* 8 */ ".###.|#...#|#...#|#...#|.###.|#...#|#...#|#...#|.###.",
    /* 9 */ ".###.|#...#|#...#|#...#|.####|....#|....#|...#.|.##..",
    /* : */ ".|.|.|.|#|.|.|.|#",
    /* ; */ "..|..|..|..|.#|..|..|..|.#|.#|#.",
    /* < */ "....|...#|..#.|.#..|#...|.#..|..#.|...#",
    /* = */ ".....|.....|.....|#####|.....|#####",
    /* > */ "....|#...|.#..|..#.|...#|..#.|.#..|#...",
    /* ? */ ".###.|#...#|....#|...#.|..#..|..#..|..#..|.....|..#..",
    /* @ */ ".####.|#....#|#..###|#.#..#|#.#..#|#.#..#|#..###|#.....|.####.",
    /* A */ "..#..|.#.#.|#...#|#...#|#...#|#####|#...#|#...#|#...#",
    /* B */ "####.|#...#|#...#|#...#|####.|#...#|#...#|#...#|####.",
    /* C */ ".###.|#...#|#....|#....|#....|#....|#....|#...#|.###.",
    /* D */ "####.|#...#|#...#|#...#|#...#|#...#|#...#|#...#|####.",
    /* E */ "#####|#....|#....|#....|####.|#....|#....|#....|#####",
    /* F */ "#####|#....|#....|#....|####.|#....|#....|#....|#....",
    /* G */ ".###.|#...#|#....|#....|#.###|#...#|#...#|#...#|.###.",
    /* H */ "#...#|#...#|#...#|#...#|#####|#...#|#...#|#...#|#...#",
    /* I */ "###|.#.|.#.|.#.|.#.|.#.|.#.|.#.|###",
    /* J */ "..###|...#.|...#.|...#.|...#.|...#.|...#.|#..#.|.##..",
    /* K */ "#...#|#..#.|#.#..|##...|##...|#.#..|#..#.|#...#|#...#",
    /* L */ "#....|#....|#....|#....|#....|#....|#....|#....|#####",
    /* M */ "#.....#|##...##|#.#.#.#|#..#..#|#.....#|#.....#|#.....#|#.....#|#.....#",
    /* N */ "#...#|##..#|##..#|#.#.#|#.#.#|#..##|#..##|#...#|#...#",
    /* O */ ".###.|#...#|#...#|#...#|#...#|#...#|#...#|#...#|.###.",
    /* P */ "####.|#...#|#...#|#...#|####.|#....|#....|#....|#....",
    /* Q */ ".###.|#...#|#...#|#...#|#...#|#...#|#.#.#|#..#.|.##.#",
    /* R */ "####.|#...#|#...#|#...#|####.|#.#..|#..#.|#...#|#...#",
    /* S */ ".###.|#...#|#....|#....|.###.|....#|....#|#...#|.###.",
    /* T */ "#####|..#..|..#..|..#..|..#..|..#..|..#..|..#..|..#..",
    /* U */ "#...#|#...#|#...#|#...#|#...#|#...#|#...#|#...#|.###.",
    /* V */ "#...#|#...#|#...#|#...#|#...#|.#.#.|.#.#.|.#.#.|..#..",
    /* W */ "#.....#|#.....#|#.....#|#.....#|#.....#|#..#..#|#.#.#.#|##...##|#.....#",
    /* X */ "#...#|#...#|.#.#.|.#.#.|..#..|.#.#.|.#.#.|#...#|#...#",
    /* Y */ "#...#|#...#|.#.#.|.#.#.|..#..|..#..|..#..|..#..|..#..",
    /* Z */ "#####|....#|...#.|...#.|..#..|.#...|.#...|#....|#####",
    /* [ */ "###|#..|#..|#..|#..|#..|#..|#..|#..|###",
    /* \ */ "#....|#....|.#...|.#...|..#..|...#.|...#.|....#|....#",
    /* ] */ "###|..#|..#|..#|..#|..#|..#|..#|..#|###",
    /* ^ */ "..#..|.#.#.|#...#",
    /* _ */ ".....|.....|.....|.....|.....|.....|.....|.....|.....|#####",
    /* ` */ "#.|.#",
    /* a */ ".....|.....|.....|.###.|....#|.####|#...#|#...#|.####",
    /* b */ "#....|#....|#....|####.|#...#|#...#|#...#|#...#|####.",
    /* c */ ".....|.....|.....|.###.|#...#|#....|#....|#...#|.###.",
    /* d */ "....#|....#|....#|.####|#...#|#...#|#...#|#...#|.####",
    /* e */ ".....|.....|.....|.###.|#...#|#####|#....|#...#|.###.",
    /* f */ "..##|.#..|.#..|####|.#..|.#..|.#..|.#..|.#..",
    /* g */ ".....|.....|.....|.####|#...#|#...#|#...#|#...#|.####|....#|#...#|.###.",
    /* h */ "#....|#....|#....|####.|#...#|#...#|#...#|#...#|#...#",
    /* i */ ".|#|.|#|#|#|#|#|#",
    /* j */ "...|..#|...|..#|..#|..#|..#|..#|..#|..#|#.#|.#.",
    /* k */ "#...|#...|#...|#..#|#.#.|##..|##..|#.#.|#..#",
    /* l */ "#.|#.|#.|#.|#.|#.|#.|#.|.#",
    /* m */ ".......|.......|.......|###.##.|#..#..#|#..#..#|#..#..#|#..#..#|#..#..#",
    /* n */ ".....|.....|.....|####.|#...#|#...#|#...#|#...#|#...#",
    /* o */ ".....|.....|.....|.###.|#...#|#...#|#...#|#...#|.###.",
    /* p */ ".....|.....|.....|####.|#...#|#...#|#...#|#...#|####.|#....|#....|#....",
    /* q */ ".....|.....|.....|.####|#...#|#...#|#...#|#...#|.####|....#|....#|....#",
    /* r */ "....|....|....|#.##|##..|#...|#...|#...|#...",
    /* s */ ".....|.....|.....|.####|#....|.###.|....#|....#|####.",
    /* t */ ".#..|.#..|.#..|####|.#..|.#..|.#..|.#..|..##",
    /* u */ ".....|.....|.....|#...#|#...#|#...#|#...#|#...#|.####",
    /* v */ ".....|.....|.....|#...#|#...#|#...#|.#.#.|.#.#.|..#..",
    /* w */ ".......|.......|.......|#.....#|#.....#|#..#..#|#..#..#|#.#.#.#|.#...#.",
    /* x */ ".....|.....|.....|#...#|.#.#.|..#..|..#..|.#.#.|#...#",
    /* y */ ".....|.....|.....|#...#|#...#|#...#|#...#|#...#|.####|....#|#...#|.###.",
    /* z */ ".....|.....|.....|#####|...#.|..#..|.#...|#....|#####",
    /* { */ "..##|.#..|.#..|.#..|#...|.#..|.#..|.#..|.#..|..##",
    /* | */ "#|#|#|#|#|#|#|#|#|#|#",
    /* } */ "##..|..#.|..#.|..#.|...#|..#.|..#.|..#.|..#.|##..",
    /* ~ */ ".....|.....|.....|.#...|#.#.#|...#.",
};

struct Glyph {
  std::vector<std::string> rows;
  int width = 0;
};

bool ParseGlyph(int code, const char* art, Glyph* glyph) {
  std::string text = art;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bar = text.find('|', start);
    if (bar == std::string::npos) bar = text.size();
    glyph->rows.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  glyph->width = (int)glyph->rows[0].size();
  if (glyph->rows.size() > (size_t)kHeight - 2) {
    fprintf(stderr, "make_console_font: glyph '%c' has too many rows\n", code);
    return false;
  }
  for (int x = 0; x < glyph->width; ++x) {
    bool ink = false;
    for (const std::string& row : glyph->rows) {
      if ((int)row.size() != glyph->width) {
        fprintf(stderr, "make_console_font: glyph '%c' has rows of different widths\n", code);
        return false;
      }
      ink = ink || row[x] == '#';
    }
    if (!ink) {
      fprintf(stderr, "make_console_font: glyph '%c' has an empty column %d\n", code, x);
      return false;
    }
  }
  return true;
}

// The RGB pixels: white glyphs, the free columns spread evenly over the 95 gaps around them.
bool DrawFont(std::vector<unsigned char>* rgb) {
  const int count = kLast - kFirst + 1;
  if ((int)(sizeof kGlyphs / sizeof kGlyphs[0]) != count) {
    fprintf(stderr, "make_console_font: %d glyphs for %d characters\n", (int)(sizeof kGlyphs / sizeof kGlyphs[0]),
            count);
    return false;
  }
  std::vector<Glyph> glyphs(count);
  int inked = 0;
  for (int i = 0; i < count; ++i) {
    if (!ParseGlyph(kFirst + i, kGlyphs[i], &glyphs[i])) return false;
    inked += glyphs[i].width;
  }
  const int gaps = count + 1, freeColumns = kWidth - inked;
  if (freeColumns < gaps) {
    fprintf(stderr, "make_console_font: the glyphs are too wide for %d columns\n", kWidth);
    return false;
  }
  rgb->assign((size_t)kWidth * kHeight * 3, 0);
  int x = 0;
  for (int i = 0; i < count; ++i) {
    x += freeColumns / gaps + (i < freeColumns % gaps ? 1 : 0);
    for (size_t row = 0; row < glyphs[i].rows.size(); ++row)
      for (int column = 0; column < glyphs[i].width; ++column)
        if (glyphs[i].rows[row][column] == '#') {
          unsigned char* pixel = &(*rgb)[(((size_t)row + 1) * kWidth + x + column) * 3];
          pixel[0] = pixel[1] = pixel[2] = 255;
        }
    x += glyphs[i].width;
  }
  return true;
}

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void Flush(png_structp) {}

bool EncodePNG(const std::vector<unsigned char>& rgb, std::vector<unsigned char>* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png ? png_create_info_struct(png) : NULL;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, Append, Flush);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, const_cast<png_bytep>(&rgb[(size_t)y * kWidth * 3]));
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WriteSource(const char* path, const std::vector<unsigned char>& bytes) {
  FILE* file = fopen(path, "w");
  if (!file) return false;
  bool ok = fprintf(file,
                    "// Generated by make_console_font at build time: the text windows' built-in font as PNG.\n"
                    "#include \"42_BuiltinFont.h\"\n\n"
                    "const unsigned char ydx_BuiltinFontPNG[] = {") > 0;
  for (size_t i = 0; ok && i < bytes.size(); ++i)
    ok = fprintf(file, "%s%u,", i % 20 ? "" : "\n    ", bytes[i]) > 0;
  ok = ok && fprintf(file, "\n};\nconst int ydx_BuiltinFontPNGSize = %u;\n", (unsigned)bytes.size()) > 0;
  ok = fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_console_font output.cpp\n");
    return 2;
  }
  std::vector<unsigned char> rgb, png;
  if (!DrawFont(&rgb)) return 1;
  if (!EncodePNG(rgb, &png)) {
    fprintf(stderr, "make_console_font: the PNG could not be encoded\n");
    return 1;
  }
  if (!WriteSource(argv[1], png)) {
    fprintf(stderr, "make_console_font: %s could not be written\n", argv[1]);
    return 1;
  }
  return 0;
}
