// The example programs in a virtual X display of the test's own, driven through the X test extension:
// each starts, draws, answers its keys and ends with 0 on Escape and on SIGTERM; example_tiled falls
// back to the converted level without desert.tmx and its first frame matches the stored golden;
// example_load writes the level back only when it loaded whole. Every step waits for the line the
// program logs when it has done what the step needs. Skipped when Xvfb or the X tools are missing.
#include "YdxTest.h"
#include "XvfbServer.h"
#include <zlib.h>
#include <regex>
#include <set>
#include <stdlib.h>
#include <unistd.h>

namespace {

const char kTiledLog[] = "Example05_Tiled.log";
const char kLoadLog[] = "Example03_Load.log";
const char* const kData[] = {"desert.tmx", "desert-tiles.png", "mylevel.qbm", "mylevel-sky.png", "mylevel-land.png"};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// An X window dump as 8-bit RGB rows.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<Uint8> rgb;
  const Uint8* At(int x, int y) const { return &rgb[((size_t)y * width + x) * 3]; }
};

Uint32 BigEndian(const std::string& bytes, size_t at) {
  return (Uint32)(Uint8)bytes[at] << 24 | (Uint32)(Uint8)bytes[at + 1] << 16 | (Uint32)(Uint8)bytes[at + 2] << 8 |
         (Uint8)bytes[at + 3];
}

Uint8 Channel(Uint32 pixel, Uint32 mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  Uint32 top = mask >> shift;
  return (Uint8)(((pixel & mask) >> shift) * 255 / top);
}

// Reads a ZPixmap window dump of 24 or 32 bits per pixel; false for anything else.
bool ReadWindowDump(const std::string& bytes, Screenshot* shot) {
  if (bytes.size() < 100) return false;
  Uint32 field[25];
  for (int i = 0; i < 25; ++i) field[i] = BigEndian(bytes, (size_t)i * 4);
  Uint32 headerSize = field[0], format = field[2], width = field[4], height = field[5], byteOrder = field[7];
  Uint32 bitsPerPixel = field[11], bytesPerLine = field[12], colours = field[19];
  size_t start = (size_t)headerSize + (size_t)colours * 12;
  if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || width > 4096 || height > 4096 ||
      start + (size_t)bytesPerLine * height > bytes.size())
    return false;
  shot->width = (int)width;
  shot->height = (int)height;
  shot->rgb.clear();
  for (Uint32 y = 0; y < height; ++y)
    for (Uint32 x = 0; x < width; ++x) {
      const Uint8* p =
          reinterpret_cast<const Uint8*>(bytes.data()) + start + (size_t)y * bytesPerLine + x * (bitsPerPixel / 8);
      Uint32 pixel = 0;
      for (Uint32 b = 0; b < bitsPerPixel / 8; ++b)
        pixel |= (Uint32)p[b] << (byteOrder == 0 ? 8 * b : 8 * (bitsPerPixel / 8 - 1 - b));
      shot->rgb.push_back(Channel(pixel, field[14]));
      shot->rgb.push_back(Channel(pixel, field[15]));
      shot->rgb.push_back(Channel(pixel, field[16]));
    }
  return true;
}

// The golden form of a picture: its size, then the CRC-32 of each row's RGB bytes.
std::string RowDigests(const Screenshot& shot) {
  std::string text = std::to_string(shot.width) + " " + std::to_string(shot.height) + "\n";
  char line[16];
  for (int y = 0; y < shot.height; ++y) {
    uLong crc = crc32(0L, shot.At(0, y), (uInt)shot.width * 3);
    snprintf(line, sizeof line, "%08lx\n", crc);
    text += line;
  }
  return text;
}

std::vector<std::pair<int, int>> Reports(const std::string& log, const std::string& what) {
  std::vector<std::pair<int, int>> found;
  std::regex line(" \\[" + what + " => \\((-?\\d+),(-?\\d+)\\)");
  for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
    found.push_back({std::stoi((*it)[1]), std::stoi((*it)[2])});
  return found;
}

// The position the closing report gives for a layer.
std::pair<float, float> FinalPosition(const std::string& log, const std::string& layer) {
  std::regex report("Layer name '" + layer +
                    "' with ID '\\d+' [^\\n]*\\n[^\\n]*\\n\\s+\\. Position \\(([-0-9.]+),([-0-9.]+)\\)");
  std::smatch match;
  if (!std::regex_search(log, match, report)) return {-1.0f, -1.0f};
  return {std::stof(match[1]), std::stof(match[2])};
}

bool IsRed(const Uint8* rgb) { return rgb[0] == 200 && rgb[1] == 30 && rgb[2] == 30; }

class ExampleTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    if (!ydxtest::OnPath("Xvfb") || !ydxtest::OnPath("xdotool") || !ydxtest::OnPath("xwd"))
      GTEST_SKIP() << "Xvfb, xdotool or xwd is missing (make setup installs them): the example programs are not run";
    ASSERT_GE(ydxtest::StartXvfb("640x400x24"), 0) << "Xvfb did not start";
    // Freshly generated data: the run directory's level may have been saved over by a run of example_load.
    ASSERT_EQ(system(YDX_BINARY_DIR "/examples/make_example_data ."), 0);
    for (const char* file : kData) ASSERT_TRUE(ydxtest::FileExists(file)) << file;
  }

  void TearDown() override {
    ydxtest::StopXvfb();
    YdxTest::TearDown();
  }

  // Runs the program in the test's display through drive-example.sh; its exit code, or -1 when it did
  // not end by itself (the driver's complaint is in drive.out).
  int Drive(const char* program, const char* title, const char* log, const std::vector<std::string>& actions) {
    std::string command = "sh " + Quoted(YDX_SOURCE_DIR "/tests/examples/drive-example.sh") + " " +
                          Quoted(std::string(YDX_BINARY_DIR "/examples/") + program) + " " + Quoted(title) + " " +
                          Quoted(log);
    for (const std::string& action : actions) command += " " + Quoted(action);
    unlink("exit-code");
    std::string code;
    if (system((command + " > drive.out 2>&1").c_str()) != -1) code = ydxtest::ReadFile("exit-code");
    if (!code.empty() && code.compare(0, 12, "not finished") != 0) return atoi(code.c_str());
    ADD_FAILURE() << "driver output:\n" << ydxtest::ReadFile("drive.out");
    return -1;
  }
  static std::string Log(const char* name) { return ydxtest::ReadFile(name); }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
  }
};

}  // namespace

TEST_F(ExampleTest, TiledScrollsPausesAndSmoothsOnItsKeysAndEndsOnEscape) {
  int code = Drive("example_tiled", "QBTE - Example05", kTiledLog,
                   {"wait:1:level successfully imported", "move:100:50", "wait:1:mouse at (100,50).", "key:c",
                    "wait:1:[Screen2LayerAbsolute(0)", "down:Right", "wait:+2:key 275 held.", "up:Right", "key:c",
                    "wait:2:[Screen2LayerAbsolute(0)", "key:p", "wait:1:set Pause flag for layer 'Ground'",
                    "down:Right", "wait:+2:key 275 held.", "up:Right", "key:c", "wait:3:[Screen2LayerAbsolute(0)",
                    "key:p", "wait:1:unset Pause flag for layer 'Ground'", "key:s",
                    "wait:1:set SmoothScroll flag for layer 'Objects'", "down:Down", "wait:+2:key 274 held.",
                    "up:Down", "key:Escape"});
  std::string log = Log(kTiledLog);
  ASSERT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
  EXPECT_NE(log.find(" [QBTE] Info: 'Desert' level successfully imported.\n"), std::string::npos);
  std::vector<std::pair<int, int>> cells = Reports(log, "Screen2LayerCell\\(0\\)");
  std::vector<std::pair<int, int>> pixels = Reports(log, "Screen2LayerAbsolute\\(0\\)");
  ASSERT_EQ(cells.size(), 3u);
  ASSERT_EQ(pixels.size(), 3u);
  EXPECT_EQ(cells[0], std::make_pair(3, 1));
  EXPECT_EQ(pixels[0], std::make_pair(100, 50));
  int moved = pixels[1].first - 100;  // 16 pixels a logic frame while Right was held, two frames or more
  EXPECT_GE(moved, 32);
  EXPECT_EQ(moved % 16, 0);
  EXPECT_EQ(pixels[1].second, 50);
  EXPECT_EQ(pixels[2], pixels[1]);  // paused: the arrows are refused
  EXPECT_NE(log.find("set SmoothScroll flag for layer 'Ground' with ID '0'."), std::string::npos);
  // Layer 0 moved down after the pause; the linked layer 1 (same parallax ratio) followed.
  std::pair<float, float> ground = FinalPosition(log, "Ground"), objects = FinalPosition(log, "Objects");
  EXPECT_EQ(ground.first, (float)moved);
  EXPECT_GT(ground.second, 0.0f);
  EXPECT_EQ(objects, ground);
  EXPECT_NE(log.find(" . Yandorix successfully closed."), std::string::npos);
}

TEST_F(ExampleTest, TiledFirstFrameMatchesTheGoldenAndSIGTERMEndsIt) {
  int code = Drive("example_tiled", "QBTE - Example05", kTiledLog,
                   {"wait:1:level successfully imported", "wait:1:frame drawn.", "shot:first.xwd", "term"});
  ASSERT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
  EXPECT_NE(Log(kTiledLog).find(" [QBTE] Info: engine sucessfully closed."), std::string::npos);
  Screenshot shot;
  ASSERT_TRUE(ReadWindowDump(ydxtest::ReadFile("first.xwd"), &shot));
  ASSERT_EQ(shot.width, 640);
  ASSERT_EQ(shot.height, 400);
  // The three signs in row 1: as drawn (the arrow points right), mirrored (left), flipped (upside
  // down, so the arrow's shaft sits one row lower), each over the ground where the tile is keyed.
  EXPECT_TRUE(IsRed(shot.At(32 + 10, 32 + 15)));
  EXPECT_TRUE(IsRed(shot.At(32 + 26, 32 + 15)));
  EXPECT_FALSE(IsRed(shot.At(32 + 5, 32 + 15)));
  EXPECT_TRUE(IsRed(shot.At(64 + 5, 32 + 15)));
  EXPECT_FALSE(IsRed(shot.At(64 + 26, 32 + 15)));
  EXPECT_TRUE(IsRed(shot.At(96 + 10, 32 + 17)));
  EXPECT_FALSE(IsRed(shot.At(96 + 10, 32 + 14)));
  const Uint8* keyed = shot.At(32, 32);
  EXPECT_FALSE(keyed[0] == 255 && keyed[1] == 0 && keyed[2] == 255) << "the transparent colour was drawn";

  std::string golden = YDX_SOURCE_DIR "/tests/examples/golden/example_tiled_first_frame.txt";
  if (getenv("YDX_WRITE_GOLDEN")) ydxtest::WriteFile(golden, RowDigests(shot));
  EXPECT_EQ(RowDigests(shot), ydxtest::ReadFile(golden)) << "first frame differs from " << golden;
}

TEST_F(ExampleTest, TiledWithoutDesertShowsTheConvertedLevel) {
  unlink("desert.tmx");
  std::string sky = ydxtest::ReadFile("mylevel-sky.png");
  int code = Drive("example_tiled", "QBTE - Example05", kTiledLog, {"wait:1:level successfully imported", "term"});
  ASSERT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
  std::string log = Log(kTiledLog);
  EXPECT_NE(log.find(" [QBTE] Info: 'MyLevel' level successfully loaded.\n"), std::string::npos);
  EXPECT_NE(log.find(" [QBTE] Info: 'MyLevel' level successfully exported to 'mylevel.tmx'.\n"), std::string::npos);
  EXPECT_NE(log.find(" [QBTE] Info: 'MyLevel' level successfully imported.\n"), std::string::npos);
  std::string tmx = ydxtest::ReadFile("mylevel.tmx");
  EXPECT_EQ(Count(tmx, "<layer "), 1u);  // layer 1 was reset before the export
  EXPECT_NE(tmx.find("<layer name=\"Mountains\""), std::string::npos);
  EXPECT_EQ(ydxtest::ReadFile("mylevel-sky.png"), sky);  // an existing image is never rewritten
}

TEST_F(ExampleTest, LoadScrollsAnswersItsKeysAndSavesTheLevelOnEscape) {
  std::string before = ydxtest::ReadFile("mylevel.qbm");
  std::string sky = ydxtest::ReadFile("mylevel-sky.png"), landImage = ydxtest::ReadFile("mylevel-land.png");
  int code = Drive("example_load", "QBTE - Example03", kLoadLog,
                   {"wait:1:level successfully loaded", "move:320:200", "wait:1:mouse at (320,200).", "key:a",
                    "key:c", "wait:1:[Screen2LayerAbsolute(1)", "wait:1:layer 1 at (", "key:a",
                    "wait:1:unset AutoScroll flag for layer 'Land'", "down:Down", "wait:+1:key 274 held.", "up:Down",
                    "key:p", "wait:1:set Pause flag for layer 'Land'", "key:s",
                    "wait:1:set SmoothScroll flag for layer 'Land'", "key:Escape"});
  std::string log = Log(kLoadLog);
  ASSERT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
  // The first press of a leaves automatic scrolling on, the second stops it on both layers.
  EXPECT_EQ(Count(log, " [QBTE] Info: set AutoScroll flag for layer 'Land'"), 1u);
  EXPECT_EQ(Count(log, " [QBTE] Info: unset AutoScroll flag for layer 'Land'"), 1u);
  EXPECT_EQ(Count(log, " [QBTE] Info: unset AutoScroll flag for layer 'Mountains'"), 1u);
  std::vector<std::pair<int, int>> cells = Reports(log, "Screen2LayerCell\\(1\\)");
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_EQ(cells[0].second, 6);
  std::pair<float, float> land = FinalPosition(log, "Land"), mountains = FinalPosition(log, "Mountains");
  EXPECT_GT(land.first, 0.0f);   // scrolled right at 32 pixels a second until stopped
  EXPECT_GT(land.second, 0.0f);  // moved down with the arrow key
  EXPECT_EQ(mountains.second, land.second * 0.5f);
  EXPECT_NE(log.find(" [QBTE] Info: 'MyLevel' level successfully saved to 'mylevel.qbm'.\n"), std::string::npos);
  std::string after = ydxtest::ReadFile("mylevel.qbm");
  EXPECT_NE(after, before);
  char position[64];
  snprintf(position, sizeof position, "position_y=\"%g\"", land.second);
  EXPECT_NE(after.find(position), std::string::npos) << after.substr(0, 800);
  EXPECT_EQ(ydxtest::ReadFile("mylevel-sky.png"), sky);  // existing images are never rewritten
  EXPECT_EQ(ydxtest::ReadFile("mylevel-land.png"), landImage);
  // Layer 1 is exported as a PNG picture of the whole layer.
  std::string exported = ydxtest::ReadFile("layer1-image.png");
  ASSERT_GT(exported.size(), 24u) << log;
  EXPECT_EQ(exported.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_NE(log.find("surface saved to 'layer1-image.png' image file"), std::string::npos);
}

TEST_F(ExampleTest, LoadKeepsALevelThatDidNotLoadWholeAndSIGTERMEndsIt) {
  unlink("mylevel-land.png");
  std::string before = ydxtest::ReadFile("mylevel.qbm");
  int code = Drive("example_load", "QBTE - Example03", kLoadLog,
                   {"wait:1:some resources could not be loaded: tileset 1/2 and layers 2/2", "term"});
  ASSERT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
  EXPECT_EQ(ydxtest::ReadFile("mylevel.qbm"), before);
  EXPECT_EQ(Log(kLoadLog).find("saved to"), std::string::npos);
  EXPECT_NE(Log(kLoadLog).find(" . Yandorix successfully closed."), std::string::npos);
}

// The console of both programs: the backquote key fades it in over the top third of the screen, and a
// command typed into it runs ("con save a" writes what it shows) and is no key of the program's (its
// 'c' reports no cell). Keys are typed once the console is shown, each released at once, so none is
// held long enough to repeat; Escape quits once the console is closed.
TEST_F(ExampleTest, BackquoteOpensAWorkingConsoleInBothPrograms) {
  const struct {
    const char* program;
    const char* title;
    const char* log;
    const char* ready;
  } programs[] = {{"example_tiled", "QBTE - Example05", kTiledLog, "wait:1:level successfully imported"},
                  {"example_load", "QBTE - Example03", kLoadLog, "wait:1:level successfully loaded"}};
  for (const auto& program : programs) {
    const std::vector<std::string> actions = {program.ready, "wait:1:frame drawn.", "shot:closed.xwd", "key:grave",
                                              "wait:1:console 1.", "shot:open.xwd",
                                              "key:c o n space s a v e space a Return", "file:a", "key:grave Escape"};
    unlink("a");
    ASSERT_EQ(Drive(program.program, program.title, program.log, actions), 0)
        << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
    EXPECT_EQ(ydxtest::ReadFile("a"), " Console for Yandorix SDK initialized\n\ncon save a\n") << program.program;
    EXPECT_EQ(Log(program.log).find("Screen2LayerCell"), std::string::npos) << program.program;
    if (std::string(program.program) != "example_tiled") continue;   // example_load's layers scroll
    Screenshot closed, open;
    ASSERT_TRUE(ReadWindowDump(ydxtest::ReadFile("closed.xwd"), &closed));
    ASSERT_TRUE(ReadWindowDump(ydxtest::ReadFile("open.xwd"), &open));
    ASSERT_EQ(open.width, 640);
    ASSERT_EQ(open.height, 400);
    int changedInside = 0, changedBelow = 0;
    for (int y = 0; y < open.height; ++y)
      for (int x = 0; x < open.width; ++x) {
        bool same = memcmp(open.At(x, y), closed.At(x, y), 3) == 0;
        if (y < 133 && !same) changedInside++;
        if (y >= 133 && !same) changedBelow++;
      }
    EXPECT_GT(changedInside, 640 * 133 * 9 / 10);   // the console covers the top third
    EXPECT_EQ(changedBelow, 0);
    // Half of the console's blue over the picture.
    const Uint8* before = closed.At(630, 125);
    const Uint8* after = open.At(630, 125);
    EXPECT_NEAR(after[2], before[2] / 2 + 96, 3);
    EXPECT_NEAR(after[0], before[0] / 2, 3);
  }
}

// Under the OpenGL renderer (SDL_VIDEODRIVER=glSDL) both programs run and draw what the software
// renderer draws: example_tiled's first frame matches within a small tolerance; example_load, which
// scrolls by itself, shows the colours of its software picture.
TEST_F(ExampleTest, BothProgramsRunUnderTheOpenGLRenderer) {
  // Three frames: the OpenGL back end's last picture has surely reached the X server.
  const std::vector<std::string> tiledActions = {"wait:1:level successfully imported", "wait:3:frame drawn.", "shot:%s",
                                                 "term"};
  auto shoot = [&](const char* program, const char* title, const char* log, std::vector<std::string> actions,
                   const char* driver, const char* file, Screenshot* shot) {
    for (std::string& action : actions)
      if (action == "shot:%s") action = std::string("shot:") + file;
    setenv("EXAMPLE_VIDEODRIVER", driver, 1);
    // Under the sanitizer build, Mesa's allocations in the modules it unloads at exit cannot be named
    // or suppressed: the leak check stays with tests/gl, which keeps those modules loaded.
    const char* sanitizer = getenv("ASAN_OPTIONS");
    std::string kept = sanitizer ? sanitizer : "";
    bool opengl = std::string(driver) == "glSDL";
    if (opengl) setenv("ASAN_OPTIONS", (kept + (kept.empty() ? "" : ":") + "detect_leaks=0").c_str(), 1);
    int code = Drive(program, title, log, actions);
    if (opengl && sanitizer) setenv("ASAN_OPTIONS", kept.c_str(), 1);
    if (opengl && !sanitizer) unsetenv("ASAN_OPTIONS");
    unsetenv("EXAMPLE_VIDEODRIVER");
    EXPECT_EQ(code, 0) << ydxtest::ReadFile("drive.out") << ydxtest::ReadFile("program.out");
    EXPECT_TRUE(ReadWindowDump(ydxtest::ReadFile(file), shot)) << file;
    return Log(log);
  };
  Screenshot glTiled, softTiled, glLoad, softLoad;
  std::string log = shoot("example_tiled", "QBTE - Example05", kTiledLog, tiledActions, "glSDL", "gl.xwd", &glTiled);
  EXPECT_NE(log.find("   . Renderer: glSDL\n"), std::string::npos) << log;
  shoot("example_tiled", "QBTE - Example05", kTiledLog, tiledActions, "x11", "soft.xwd", &softTiled);
  ASSERT_EQ(glTiled.rgb.size(), softTiled.rgb.size());
  size_t differ = 0;
  for (size_t i = 0; i < glTiled.rgb.size(); ++i) differ += std::abs((int)glTiled.rgb[i] - (int)softTiled.rgb[i]) > 2;
  EXPECT_LE(differ, glTiled.rgb.size() / 200) << differ << " channel values differ";

  const std::vector<std::string> loadActions = {"wait:1:level successfully loaded", "wait:3:frame drawn.", "shot:%s",
                                                "key:Escape"};
  log = shoot("example_load", "QBTE - Example03", kLoadLog, loadActions, "glSDL", "gl-load.xwd", &glLoad);
  EXPECT_NE(log.find("   . Renderer: glSDL\n"), std::string::npos) << log;
  EXPECT_NE(log.find("level successfully saved to 'mylevel.qbm'"), std::string::npos);
  shoot("example_load", "QBTE - Example03", kLoadLog, loadActions, "x11", "soft-load.xwd", &softLoad);
  std::set<Uint32> softColours;
  for (size_t i = 0; i + 2 < softLoad.rgb.size(); i += 3)
    softColours.insert((Uint32)softLoad.rgb[i] << 16 | (Uint32)softLoad.rgb[i + 1] << 8 | softLoad.rgb[i + 2]);
  size_t foreign = 0, pixels = glLoad.rgb.size() / 3;
  std::set<Uint32> glColours;
  for (size_t i = 0; i + 2 < glLoad.rgb.size(); i += 3) {
    Uint32 c = (Uint32)glLoad.rgb[i] << 16 | (Uint32)glLoad.rgb[i + 1] << 8 | glLoad.rgb[i + 2];
    glColours.insert(c);
    foreign += !softColours.count(c);
  }
  EXPECT_GT(glColours.size(), 2u) << "the OpenGL picture is nearly uniform";
  EXPECT_LE(foreign, pixels / 100) << foreign << " pixels of colours the software picture does not have";
}
