// Writes the example programs' data into a directory: "desert.tmx" with its spaced tileset image for
// example_tiled, and "mylevel.qbm" with its two PNG tilesets for example_load. Every pixel is drawn
// here from integer formulas, so the output is the same on every run and every machine.
#include <png.h>
#include <zlib.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <map>
#include <string>
#include <vector>

namespace {

struct Colour {
  int r, g, b, a;
};
const Colour kKey = {255, 0, 255, 255};  // the desert tileset's transparent colour ("ff00ff")

struct Image {
  int width = 0, height = 0, channels = 3;
  std::vector<uint8_t> pixels;
  Image(int w, int h, int c) : width(w), height(h), channels(c), pixels((size_t)w * h * c, 0) {}
  void Set(int x, int y, Colour colour) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &pixels[((size_t)y * width + x) * channels];
    p[0] = (uint8_t)colour.r;
    p[1] = (uint8_t)colour.g;
    p[2] = (uint8_t)colour.b;
    if (channels == 4) p[3] = (uint8_t)colour.a;
  }
  Colour Get(int x, int y) const {
    const uint8_t* p = &pixels[((size_t)y * width + x) * channels];
    return {p[0], p[1], p[2], channels == 4 ? p[3] : 255};
  }
};

uint32_t Hash(int x, int y, int seed) {
  uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)seed * 2246822519u;
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  return h ^ (h >> 16);
}

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
Colour Shade(Colour c, int delta) { return {Clamp255(c.r + delta), Clamp255(c.g + delta), Clamp255(c.b + delta), c.a}; }
Colour Mix(Colour a, Colour b, int t, int range) {
  return {a.r + (b.r - a.r) * t / range, a.g + (b.g - a.g) * t / range, a.b + (b.b - a.b) * t / range,
          a.a + (b.a - a.a) * t / range};
}

bool WritePNG(const std::string& path, const Image& image) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png ? png_create_info_struct(png) : NULL;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, image.width, image.height, 8, image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&image.pixels[(size_t)y * image.width * image.channels]));
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  return fclose(file) == 0;
}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && written;
}

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = (uint32_t)(uint8_t)bytes[i] << 16;
    if (i + 1 < bytes.size()) group |= (uint32_t)(uint8_t)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) group |= (uint8_t)bytes[i + 2];
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[group >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

std::string Zlib(const std::string& bytes) {
  uLongf length = compressBound((uLong)bytes.size());
  std::string out(length, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&out[0]), &length, reinterpret_cast<const Bytef*>(bytes.data()),
                (uLong)bytes.size(), 9) != Z_OK)
    return std::string();
  out.resize(length);
  return out;
}

std::string CellsCSV(const std::vector<uint32_t>& cells, int width, bool rowBreaks) {
  std::string text;
  char number[16];
  for (size_t i = 0; i < cells.size(); ++i) {
    snprintf(number, sizeof number, "%u", cells[i]);
    text += number;
    if (i + 1 < cells.size()) text += ',';
    if ((i + 1) % (size_t)width == 0) text += rowBreaks ? "\n" : " ";
  }
  return text;
}

// ---------------------------------------------------------------------------------------------------
// Desert: a 40 x 40 map of 32 x 32 tiles from a tileset image with a 1-pixel margin and spacing.

const int kTile = 32, kDesertColumns = 8, kDesertRows = 4, kMargin = 1, kSpacing = 1, kMapSide = 40;

enum DesertTile {
  kSandA = 1,
  kSandB,
  kSandC,
  kDune,
  kCracked,
  kStone,
  kWater,
  kGrass,
  kCactus = 17,
  kRock,
  kBones,
  kPalm,
  kBush,
  kSkull,
  kSign,
  kPot,
};

void FillCircle(Image* tile, int cx, int cy, int rx, int ry, Colour colour) {
  for (int y = cy - ry; y <= cy + ry; ++y)
    for (int x = cx - rx; x <= cx + rx; ++x)
      if ((x - cx) * (x - cx) * ry * ry + (y - cy) * (y - cy) * rx * rx <= rx * rx * ry * ry) tile->Set(x, y, colour);
}

void FillRect(Image* tile, int x0, int y0, int x1, int y1, Colour colour) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) tile->Set(x, y, colour);
}

// Ground tiles fill the whole cell; decorations stand on the transparent colour.
void PaintGround(Image* tile, int number) {
  static const Colour kBase[] = {{222, 190, 130, 255}, {210, 176, 116, 255}, {216, 184, 124, 255}, {200, 164, 104, 255},
                                 {172, 122, 82, 255},  {150, 142, 128, 255}, {40, 110, 190, 255},  {84, 146, 66, 255}};
  for (int y = 0; y < kTile; ++y)
    for (int x = 0; x < kTile; ++x) {
      Colour c = Shade(kBase[number - 1], (int)(Hash(x, y, number) % 13) - 6);
      if (number == kSandB && (y + x / 4) % 8 < 2) c = Shade(c, -14);                     // ripples
      if (number == kSandC && Hash(x / 3, y / 3, 77) % 23 == 0) c = {120, 100, 80, 255};  // pebbles
      if (number == kDune) c = Mix(Shade(c, -24), Shade(c, 18), x, kTile);
      if (number == kCracked && (Hash(x / 2, y, 5) % 17 == 0 || (x + 2 * y) % 29 == 0)) c = {96, 64, 44, 255};
      if (number == kStone && (x % 16 == 0 || y % 11 == 0)) c = {110, 104, 96, 255};  // mortar
      if (number == kWater && (x + (y % 8) * 3) % 16 < 3 && y % 8 == 2) c = {150, 200, 240, 255};
      if (number == kGrass && Hash(x, y / 3, 9) % 5 == 0) c = {50, 110, 40, 255};
      tile->Set(x, y, c);
    }
}

void PaintDecoration(Image* tile, int number) {
  FillRect(tile, 0, 0, kTile - 1, kTile - 1, kKey);
  const Colour green = {46, 140, 58, 255}, grey = {128, 124, 118, 255}, bone = {240, 236, 220, 255};
  const Colour wood = {104, 66, 32, 255}, red = {200, 30, 30, 255};
  switch (number) {
    case kCactus:
      FillRect(tile, 14, 4, 18, 31, green);
      FillRect(tile, 7, 12, 10, 20, green);
      FillRect(tile, 7, 20, 14, 22, green);
      FillRect(tile, 22, 9, 25, 17, green);
      FillRect(tile, 18, 17, 25, 19, green);
      break;
    case kRock:
      FillCircle(tile, 16, 22, 12, 8, grey);
      FillCircle(tile, 12, 20, 5, 3, Shade(grey, 30));
      break;
    case kBones:
      FillRect(tile, 6, 18, 26, 20, bone);
      FillCircle(tile, 6, 17, 2, 2, bone);
      FillCircle(tile, 6, 21, 2, 2, bone);
      FillCircle(tile, 26, 17, 2, 2, bone);
      FillCircle(tile, 26, 21, 2, 2, bone);
      break;
    case kPalm:
      FillRect(tile, 15, 12, 17, 31, wood);
      FillCircle(tile, 10, 9, 8, 3, green);
      FillCircle(tile, 22, 9, 8, 3, green);
      FillCircle(tile, 16, 6, 4, 5, Shade(green, 20));
      break;
    case kBush:
      FillCircle(tile, 16, 22, 11, 8, Shade(green, -10));
      FillCircle(tile, 11, 19, 5, 4, green);
      break;
    case kSkull:
      FillCircle(tile, 16, 18, 9, 8, bone);
      FillCircle(tile, 12, 17, 2, 2, kKey);
      FillCircle(tile, 20, 17, 2, 2, kKey);
      break;
    case kSign:  // an arrow to the right: mirrored cells point left, flipped ones hang upside down
      FillRect(tile, 4, 14, 6, 31, wood);
      FillRect(tile, 2, 8, 29, 22, {150, 104, 60, 255});
      FillRect(tile, 3, 9, 28, 21, {238, 222, 186, 255});
      FillRect(tile, 6, 14, 22, 16, red);
      for (int i = 0; i < 6; ++i) FillRect(tile, 22 + i, 10 + i, 22 + i, 20 - i, red);
      break;
    default:  // pots and jars
      FillCircle(tile, 16, 22, 8, 9, {206, 110, 50, 255});
      FillRect(tile, 12, 10, 20, 13, {170, 86, 38, 255});
      break;
  }
}

Image DesertTileset() {
  int width = 2 * kMargin + kDesertColumns * kTile + (kDesertColumns - 1) * kSpacing;
  int height = 2 * kMargin + kDesertRows * kTile + (kDesertRows - 1) * kSpacing;
  Image sheet(width, height, 3);
  FillRect(&sheet, 0, 0, width - 1, height - 1, {64, 64, 64, 255});  // margin and gaps: never drawn
  for (int number = 1; number <= kDesertColumns * kDesertRows; ++number) {
    Image tile(kTile, kTile, 3);
    if (number <= kGrass)
      PaintGround(&tile, number);
    else if (number >= kCactus && number <= kPot)
      PaintDecoration(&tile, number);
    else
      PaintGround(&tile, kSandA + number % 3);  // spare sand variants
    int column = (number - 1) % kDesertColumns, row = (number - 1) / kDesertColumns;
    int left = kMargin + column * (kTile + kSpacing), top = kMargin + row * (kTile + kSpacing);
    for (int y = 0; y < kTile; ++y)
      for (int x = 0; x < kTile; ++x) sheet.Set(left + x, top + y, tile.Get(x, y));
  }
  return sheet;
}

int PathRow(int column) {
  int phase = column % 12;
  return 9 + (phase < 6 ? phase : 12 - phase) / 2;
}

std::vector<uint32_t> DesertGround() {
  std::vector<uint32_t> cells;
  for (int row = 0; row < kMapSide; ++row)
    for (int column = 0; column < kMapSide; ++column) {
      int dx = column - 13, dy = row - 5, distance = dx * dx + 2 * dy * dy;
      uint32_t tile = kSandA + Hash(column, row, 1) % 3;
      if ((column + row) % 9 == 0) tile = kDune;
      if (column >= 26 && column <= 35 && row >= 28 && row <= 36) tile = kCracked;
      if (row == PathRow(column)) tile = kStone;
      if (distance <= 12)
        tile = kWater;
      else if (distance <= 24)
        tile = kGrass;
      cells.push_back(tile);
    }
  return cells;
}

std::vector<uint32_t> DesertObjects(const std::vector<uint32_t>& ground) {
  std::vector<uint32_t> cells(ground.size(), 0);
  for (int row = 0; row < kMapSide; ++row)
    for (int column = 0; column < kMapSide; ++column) {
      uint32_t under = ground[(size_t)row * kMapSide + column], roll = Hash(column, row, 3);
      if (under == kWater || under == kStone || roll % 100 >= 7) continue;
      uint32_t tile = kCactus + (roll >> 8) % 8;
      if (under == kGrass) tile = (roll >> 8) % 2 ? kPalm : kBush;
      uint32_t transform = (roll >> 16) % 5 == 0 ? 0x80000000u : ((roll >> 16) % 7 == 0 ? 0x40000000u : 0u);
      cells[(size_t)row * kMapSide + column] = tile | transform;
    }
  // Three signs side by side in the top left corner: as drawn, mirrored, flipped.
  cells[1 * kMapSide + 1] = kSign;
  cells[1 * kMapSide + 2] = kSign | 0x80000000u;
  cells[1 * kMapSide + 3] = kSign | 0x40000000u;
  return cells;
}

std::string DesertTMX(const Image& sheet) {
  std::vector<uint32_t> ground = DesertGround(), objects = DesertObjects(ground);
  std::string groundBytes;
  for (uint32_t v : ground)
    for (int i = 0; i < 4; ++i) groundBytes += (char)(v >> (8 * i) & 0xFF);
  char head[1024];
  snprintf(head, sizeof head,
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<map version=\"1.0\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"%d\" height=\"%d\" "
           "tilewidth=\"%d\" tileheight=\"%d\" nextobjectid=\"1\">\n"
           " <properties>\n  <property name=\"name\" value=\"Desert\"/>\n </properties>\n"
           " <tileset firstgid=\"1\" name=\"desert\" tilewidth=\"%d\" tileheight=\"%d\" spacing=\"%d\" margin=\"%d\">\n"
           "  <image source=\"desert-tiles.png\" trans=\"ff00ff\" width=\"%d\" height=\"%d\"/>\n"
           " </tileset>\n",
           kMapSide, kMapSide, kTile, kTile, kTile, kTile, kSpacing, kMargin, sheet.width, sheet.height);
  std::string text = head;
  text += " <layer name=\"Ground\" width=\"40\" height=\"40\">\n  <data encoding=\"base64\" compression=\"zlib\">\n   ";
  text += Base64(Zlib(groundBytes));
  text += "\n  </data>\n </layer>\n";
  text += " <layer name=\"Objects\" width=\"40\" height=\"40\">\n  <data encoding=\"csv\">\n";
  text += CellsCSV(objects, kMapSide, true);
  text += "</data>\n </layer>\n</map>\n";
  return text;
}

// ---------------------------------------------------------------------------------------------------
// mylevel: a sky with mountains (20 x 13 cells) behind rolling land (40 x 13 cells), each drawn as one
// picture, cut into 32 x 32 tiles and de-duplicated into its tileset.

const int kLevelRows = 13;

int Triangle(int x, int period, int height) {
  int phase = ((x % period) + period) % period;
  return (phase < period / 2 ? phase : period - phase) * 2 * height / period;
}

Image SkyPicture() {
  Image picture(20 * kTile, kLevelRows * kTile, 3);
  const Colour top = {40, 70, 150, 255}, horizon = {250, 190, 140, 255}, mountain = {96, 84, 120, 255};
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      int ridge = 170 + Triangle(x, 320, 110) / 2 + Triangle(x + 40, 128, 40) - Triangle(x, 64, 10);
      Colour c = Mix(top, horizon, y < 300 ? y : 300, 300);
      if (y > ridge) c = Shade(mountain, (y - ridge) / 6 - (int)(Hash(x / 4, y / 4, 11) % 9));
      int cloud = (x - 150) * (x - 150) / 9 + (y - 60) * (y - 60);
      if (cloud < 500 || (x - 470) * (x - 470) / 12 + (y - 90) * (y - 90) < 300) c = Mix(c, {255, 255, 255, 255}, 3, 4);
      picture.Set(x, y, c);
    }
  return picture;
}

Image LandPicture() {
  Image picture(40 * kTile, kLevelRows * kTile, 4);
  const Colour grass = {70, 160, 60, 255}, dirt = {120, 84, 52, 255}, trunk = {96, 64, 36, 255};
  for (int x = 0; x < picture.width; ++x) {
    int surface = 300 + Triangle(x, 640, 60) - Triangle(x + 100, 256, 30);
    for (int y = 0; y < picture.height; ++y) {
      Colour c = {0, 0, 0, 0};
      if (y >= surface)
        c = y < surface + 8 ? Shade(grass, (int)(Hash(x, y, 21) % 21) - 10)
                            : Shade(dirt, (int)(Hash(x / 3, y / 3, 22) % 25) - 12);
      bool platform = (x / 32) % 10 >= 3 && (x / 32) % 10 <= 5 && y >= 160 && y < 176 && (x / 32) % 20 < 10;
      if (platform) c = y < 164 ? grass : dirt;
      int treeX = x % 320;
      if (treeX >= 200 && treeX < 208 && y >= surface - 70 && y < surface) c = trunk;
      if ((treeX - 204) * (treeX - 204) + (y - (surface - 84)) * (y - (surface - 84)) < 600 && y < surface - 40)
        c = Shade({40, 120, 50, 255}, (int)(Hash(x / 2, y / 2, 23) % 17) - 8);
      picture.Set(x, y, c);
    }
  }
  return picture;
}

bool Transparent(const Image& tile) {
  for (int y = 0; y < kTile; ++y)
    for (int x = 0; x < kTile; ++x)
      if (tile.Get(x, y).a) return false;
  return tile.channels == 4;
}

// Cuts a picture into tiles: the tileset image (16 tiles a row) and the map (0 for transparent tiles),
// numbered from firstGid. `count` receives the number of places in the tileset image.
Image CutIntoTiles(const Image& picture, uint32_t firstGid, std::vector<uint32_t>* cells, int* count) {
  std::map<std::vector<uint8_t>, uint32_t> numbers;
  std::vector<Image> tiles;
  for (int row = 0; row < picture.height / kTile; ++row)
    for (int column = 0; column < picture.width / kTile; ++column) {
      Image tile(kTile, kTile, picture.channels);
      for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) tile.Set(x, y, picture.Get(column * kTile + x, row * kTile + y));
      if (Transparent(tile)) {
        cells->push_back(0);
        continue;
      }
      auto found = numbers.find(tile.pixels);
      if (found == numbers.end()) {
        found = numbers.emplace(tile.pixels, (uint32_t)tiles.size()).first;
        tiles.push_back(tile);
      }
      cells->push_back(firstGid + found->second);
    }
  int perRow = 16, rows = ((int)tiles.size() + perRow - 1) / perRow;
  *count = perRow * rows;  // the engine counts the whole sheet, empty places included
  Image sheet(perRow * kTile, rows * kTile, picture.channels);
  for (size_t n = 0; n < tiles.size(); ++n)
    for (int y = 0; y < kTile; ++y)
      for (int x = 0; x < kTile; ++x)
        sheet.Set((int)(n % perRow) * kTile + x, (int)(n / perRow) * kTile + y, tiles[n].Get(x, y));
  return sheet;
}

std::string LevelLayer(int id, const char* name, float ratio, int columns, const std::vector<uint32_t>& cells) {
  char head[512];
  snprintf(head, sizeof head,
           "    <layer id=\"%d\" name=\"%s\" status=\"41\" parallax_ratio=\"%g\" position_x=\"0\" position_y=\"0\" "
           "speed_x=\"0\" speed_y=\"0\" gridcolor=\"0\" alphavalue=\"255\">\n"
           "        <mapdata type=\"base\" width=\"%d\" height=\"%d\" cellwidth=\"%d\" cellheight=\"%d\">",
           id, name, ratio, columns, kLevelRows, kTile, kTile);
  return head + CellsCSV(cells, columns, false) + "</mapdata>\n    </layer>\n";
}

std::string LevelTileset(uint32_t gid, const char* name, const char* source, int alpha) {
  char text[256];
  snprintf(text, sizeof text,
           "    <tileset gid=\"%u\" name=\"%s\" source=\"%s\" tilewidth=\"%d\" tileheight=\"%d\" colorkey=\"-1\" "
           "alphavalue=\"%d\" />\n",
           gid, name, source, kTile, kTile, alpha);
  return text;
}

bool WriteLevel(const std::string& directory) {
  std::vector<uint32_t> skyCells, landCells;
  int skyCount = 0, landCount = 0;
  Image sky = CutIntoTiles(SkyPicture(), 1, &skyCells, &skyCount);
  uint32_t landGid = (uint32_t)skyCount + 1;
  Image land = CutIntoTiles(LandPicture(), landGid, &landCells, &landCount);
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
      "<qbse_level version=\"1.10\" name=\"MyLevel\" creation_date=\"Mon Jan  5 10:00:00 2026\" "
      "modification_date=\"Mon Jan  5 10:00:00 2026\" viewport_x=\"0\" viewport_width=\"640\" viewport_y=\"0\" "
      "viewport_height=\"400\">\n"
      "    <!--Quembrook TileEngine - Yandorix SDK-->\n";
  text += LevelLayer(0, "Mountains", 0.5f, 20, skyCells);
  text += LevelLayer(1, "Land", 1.0f, 40, landCells);
  text += LevelTileset(1, "sky", "mylevel-sky.png", 255);
  text += LevelTileset(landGid, "land", "mylevel-land.png", 256);
  text += "</qbse_level>\n";
  return WritePNG(directory + "mylevel-sky.png", sky) && WritePNG(directory + "mylevel-land.png", land) &&
         WriteText(directory + "mylevel.qbm", text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s output-directory\n", argv[0]);
    return 2;
  }
  std::string directory = std::string(argv[1]) + "/";
  Image sheet = DesertTileset();
  if (!WritePNG(directory + "desert-tiles.png", sheet) || !WriteText(directory + "desert.tmx", DesertTMX(sheet)) ||
      !WriteLevel(directory)) {
    fprintf(stderr, "%s: could not write the example data into %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
