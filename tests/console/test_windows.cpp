// What both text windows share, through the main object's operations: nothing before SetVideoMode,
// refused windows on small screens, alpha, backgrounds, fonts that load or fail to, drawing only inside
// the window, the built-in font, printing through the log and from other threads, windows deleted
// through their base, and watches.
#include "ConsoleTest.h"
#include "Pattern.h"
#include <algorithm>
#include <cstring>
#include <stdarg.h>
#include <thread>
#include <type_traits>

namespace {

bool IsLit(SDL_Surface* s, int x, int y) {
  SDL_Color c = ydxtest::ColorAt(s, x, y);
  return c.r > 100 && c.g > 100;
}

// A software surface of glyph images: `count` glyphs `width` pixels wide and solid, one empty column
// around each, for fonts of unusual sizes.
SDL_Surface* GlyphStrip(int width, int height) {
  const int count = 94;
  SDL_Surface* s = SDL_CreateRGBSurface(0, count * (width + 1) + 1, height, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(s, NULL, 0);
  for (int i = 0; i < count; ++i) {
    SDL_Rect glyph = {(Sint16)(1 + i * (width + 1)), 1, (Uint16)width, (Uint16)(height - 1)};
    SDL_FillRect(s, &glyph, 0xFFFFFF);
  }
  return s;
}

// Forwards its arguments the way callers that hold the argument list in a char* do.
void ForwardAsCharPointer(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Yandorix.ConvPrint((char*)format, (char*)args);
  va_end(args);
}

// The vtable slot of a virtual member (Itanium C++ ABI: the pointer word holds 1 + the slot's offset).
template <typename Member>
size_t Slot(Member member) {
  static_assert(sizeof member == 2 * sizeof(void*), "an Itanium member function pointer");
  size_t words[2];
  memcpy(words, &member, sizeof words);
  return (words[0] - 1) / sizeof(void*);
}

// Stores a font built from a glyph strip as block "wide" of `file`.
void SaveStripFont(const char* file, int width, int height) {
  SDL_Surface* strip = GlyphStrip(width, height);
  Yandorix_CFont font;
  ASSERT_EQ(font.Create(strip), 96);
  SDL_FreeSurface(strip);
  ASSERT_GT(font.Save((char*)file, (char*)"wide"), 0);
}

}  // namespace

class WindowsWithoutScreenTest : public YdxTest {
 protected:
  void TearDown() override {
    Yandorix.Quit();
    YdxTest::TearDown();
  }
};

TEST_F(WindowsWithoutScreenTest, EveryOperationBeforeSetVideoModeDoesNothing) {
  ydxtest::ManualClock::Install(1000);
  ydxtest::StartLog(2 | 16);
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  int value = 1;
  double real = 2.0;
  Yandorix.ConTitle((char*)"t");
  Yandorix.ConEnable();
  Yandorix.ConDisable();
  Yandorix.ConSetVisible(1);
  Yandorix.ConSetFont((char*)"none.dpf", (char*)"f");
  Yandorix.ConSetFont(1, (char*)"f");
  Yandorix.ConResize(300, 300);
  Yandorix.ConMove(10, 10);
  Yandorix.ConSetBgColor(1, 2, 3);
  Yandorix.ConSetBgColor(5u);
  Yandorix.ConSetBgImage((char*)"none.dpf", (char*)"i");
  Yandorix.ConSetBgImage(1, (char*)"i");
  Yandorix.ConSetAlpha(200);
  Yandorix.ConPrint((char*)"%s", "nothing");
  Yandorix.ConNewCmdLine();
  Yandorix.ConCmd((char*)"con save nothing.txt");
  std::thread other([] { Yandorix.ConPrint((char*)"from %s", "elsewhere"); });
  other.join();
  EXPECT_EQ(Yandorix.ConisEnabled(), 0);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  EXPECT_EQ(Yandorix.ConGetFont(), nullptr);
  EXPECT_EQ(Yandorix.ConGetRect(), nullptr);
  EXPECT_EQ(Yandorix.ConGetBgColor(), 0u);
  EXPECT_EQ(Yandorix.ConGetBgImage(), nullptr);
  EXPECT_EQ(Yandorix.ConGetAlpha(), 0);
  EXPECT_EQ(Yandorix.ConFeatures(-1), 0);
  EXPECT_EQ(Yandorix.ConFeatures(1), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"x", (char*)"y", [](std::vector<std::string>*) { return 1; }), 0);
  Yandorix.DwTitle((char*)"t");
  Yandorix.DwEnable();
  Yandorix.DwDisable();
  Yandorix.DwSetVisible(1);
  Yandorix.DwSetFont((char*)"none.dpf", (char*)"f");
  Yandorix.DwSetFont(1, (char*)"f");
  Yandorix.DwResize(300, 300);
  Yandorix.DwMove(10, 10);
  Yandorix.DwSetBgColor(1, 2, 3);
  Yandorix.DwSetBgColor(5u);
  Yandorix.DwSetBgImage((char*)"none.dpf", (char*)"i");
  Yandorix.DwSetBgImage(1, (char*)"i");
  Yandorix.DwSetAlpha(200);
  EXPECT_EQ(Yandorix.DwisEnabled(), 0);
  EXPECT_EQ(Yandorix.DwisVisible(), 0);
  EXPECT_EQ(Yandorix.DwGetFont(), nullptr);
  EXPECT_EQ(Yandorix.DwGetRect(), nullptr);
  EXPECT_EQ(Yandorix.DwGetBgColor(), 0u);
  EXPECT_EQ(Yandorix.DwGetBgImage(), nullptr);
  EXPECT_EQ(Yandorix.DwGetAlpha(), 0);
  EXPECT_EQ(Yandorix.DwAddWatch((char*)"v", &value, &real), 0);
  EXPECT_EQ(Yandorix.DwRemoveWatch((char*)"v"), 0);
  ILogSystem.Msg(0, " . %s\n", "logged without a console");
  Yandorix.Update(NULL);
  EXPECT_FALSE(ydxtest::FileExists("nothing.txt"));

  // The first screen's console starts empty: nothing printed before it shows up later.
  Yandorix.window = 1;
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 640;
  Yandorix.resolutiony = 400;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  Yandorix.ConEnable();
  Yandorix.Update(NULL);
  Yandorix.ConCmd((char*)"con save first.txt");
  EXPECT_EQ(ydxtest::ReadFile("first.txt"), " Console for Yandorix SDK initialized\n\n");
}

TEST_F(WindowsWithoutScreenTest, SmallScreensRefuseTheWindows) {
  ydxtest::StartLog();
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  Yandorix.window = 1;
  Yandorix.colordepth = 32;
  Yandorix.resolutionx = 449;
  Yandorix.resolutiony = 300;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  Yandorix.ConEnable();
  Yandorix.DwEnable();
  EXPECT_EQ(Yandorix.ConisEnabled(), 1);
  EXPECT_EQ(Yandorix.DwisEnabled(), 0);
  EXPECT_NE(ydxtest::LogText().find(" \xC2\xB7 [SimpleWin] Warning: the window size is too small (149x100)\n"),
            std::string::npos);
  Yandorix.resolutionx = 450;
  Yandorix.resolutiony = 299;
  ASSERT_EQ(Yandorix.SetVideoMode(), 1);
  Yandorix.ConEnable();
  Yandorix.DwEnable();
  EXPECT_EQ(Yandorix.ConisEnabled(), 0);
  EXPECT_EQ(Yandorix.DwisEnabled(), 0);
  EXPECT_NE(ydxtest::LogText().find("the window size is too small (450x99)\n"), std::string::npos);
  EXPECT_NE(ydxtest::LogText().find("the window size is too small (150x99)\n"), std::string::npos);
}

TEST_F(ConsoleTest, AlphaBackgroundColourAndImage) {
  Yandorix.ConSetAlpha(10);
  EXPECT_EQ(Yandorix.ConGetAlpha(), 64);
  EXPECT_EQ(Yandorix.ConGetBgImage()->format->alpha, 64);
  Yandorix.ConSetAlpha(255);
  EXPECT_FALSE(Yandorix.ConGetBgImage()->flags & SDL_SRCALPHA);

  Uint32 pixel = SDL_MapRGB(Yandorix.screen->format, 10, 20, 30);
  Yandorix.ConSetBgColor(pixel);
  EXPECT_EQ(Yandorix.ConGetBgColor(), pixel);
  SDL_Surface* background = Yandorix.ConGetBgImage();
  EXPECT_EQ(ydxtest::ColorAt(background, 639, 132).b, 30);

  // An archive image, scaled to the window and rescaled with it.
  SDL_Surface* image = ydxtest::MakePattern(ydxtest::PatternFormatNamed("xrgb32"), 64, 32);
  int archive = IStuffDPF->Create("bg.dpf");
  ASSERT_GT(archive, 0);
  ASSERT_GT(IImage->Save(archive, "back", image), 0);
  IStuffDPF->Close(archive);
  SDL_FreeSurface(image);
  Yandorix.ConSetBgImage((char*)"bg.dpf", (char*)"missing");
  EXPECT_EQ(Yandorix.ConGetBgImage(), background);   // nothing loaded: the colour stays
  Yandorix.ConSetBgImage((char*)"bg.dpf", (char*)"back");
  ASSERT_NE(Yandorix.ConGetBgImage(), background);
  EXPECT_EQ(Yandorix.ConGetBgImage()->w, 640);
  Yandorix.ConResize(300, 200);
  EXPECT_EQ(Yandorix.ConGetBgImage()->w, 300);
  EXPECT_EQ(Yandorix.ConGetBgImage()->h, 200);
}

TEST_F(ConsoleTest, AFontThatFailsToLoadLeavesTheCurrentOne) {
  Yandorix_CFont* builtin = Yandorix.ConGetFont();
  ASSERT_NE(builtin, nullptr);
  EXPECT_EQ(builtin->StringHeight(), 13);
  Yandorix.ConSetFont((char*)"missing.dpf", (char*)"font");
  Yandorix.ConSetFont(12345, (char*)"font");
  EXPECT_EQ(Yandorix.ConGetFont(), builtin);
  ShowConsole();
  Yandorix.ConPrint((char*)"still drawn");
  MainPrivate()->console->Render();
  // The font's own load says why; the window adds nothing to the three warnings of Enable.
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [CFont::Load('','font')] Error: font not found\n"));
  EXPECT_FALSE(Contains(ydxtest::LogText(), "[SimpleWin]"));

  SaveStripFont("fonts.dpf", 4, 20);
  Yandorix.ConSetFont((char*)"fonts.dpf", (char*)"wide");
  ASSERT_NE(Yandorix.ConGetFont(), builtin);
  EXPECT_EQ(Yandorix.ConGetFont()->StringHeight(), 19);
  EXPECT_EQ(Yandorix.ConGetFont()->GetCursorChar(), '_');
  int handle = IStuffDPF->Open("fonts.dpf");
  Yandorix.DwEnable();
  Yandorix.DwSetFont(handle, (char*)"wide");
  IStuffDPF->Close(handle);
  EXPECT_EQ(Yandorix.DwGetFont()->StringHeight(), 19);
}

TEST_F(ConsoleTest, AFontTooWideForTheWindowLeavesRoomForThePromptOnly) {
  SaveStripFont("fonts.dpf", 70, 12);
  Yandorix.ConResize(150, 100);
  Yandorix.ConSetFont((char*)"fonts.dpf", (char*)"wide");
  ASSERT_GT(Yandorix.ConGetFont()->StringWidth((char*)"M"), 70);
  ShowConsole();
  Mark();
  Type("abc");
  Press(SDLK_RETURN);
  MainPrivate()->console->Render();
  EXPECT_EQ(Since(), std::vector<std::string>{});
}

TEST_F(ConsoleTest, WindowsDrawOnlyInsideThemselves) {
  ShowConsole();
  Yandorix.ConResize(300, 150);
  Yandorix.ConMove(50, 60);
  for (int i = 0; i < 40; ++i) Yandorix.ConPrint((char*)"line %d with some text that is longer than the window is wide", i);
  Yandorix.DwEnable();
  Yandorix.DwMove(400, 250);
  Yandorix.DwSetVisible(1);
  std::vector<int> values(60);
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("watch_number_" + std::to_string(i));
  for (int i = 0; i < 60; ++i) ASSERT_EQ(Yandorix.DwAddWatch((char*)names[i].c_str(), &values[i], NULL), 1);
  for (int i = 0; i < 12; ++i) Pass();   // past the fade and a refresh

  SDL_Surface* screen = Yandorix.screen;
  Uint32 grey = SDL_MapRGB(screen->format, 40, 40, 40);
  SDL_FillRect(screen, NULL, grey);
  MainPrivate()->console->Render();
  MainPrivate()->debugwindow->Render();
  const SDL_Rect* con = Yandorix.ConGetRect();
  const SDL_Rect* dw = Yandorix.DwGetRect();
  auto inside = [](const SDL_Rect* r, int x, int y) { return x >= r->x && x < r->x + r->w && y >= r->y && y < r->y + r->h; };
  int changedOutside = 0, litInConsole = 0, litInDebug = 0;
  for (int y = 0; y < screen->h; ++y)
    for (int x = 0; x < screen->w; ++x) {
      SDL_Color c = ydxtest::ColorAt(screen, x, y);
      bool unchanged = c.r == 40 && c.g == 40 && c.b == 40;
      if (!inside(con, x, y) && !inside(dw, x, y) && !unchanged) changedOutside++;
      if (inside(con, x, y) && IsLit(screen, x, y)) litInConsole++;
      if (inside(dw, x, y) && IsLit(screen, x, y)) litInDebug++;
    }
  EXPECT_EQ(changedOutside, 0);
  EXPECT_GT(litInConsole, 200);
  EXPECT_GT(litInDebug, 200);
  // The prompt at the start of the input line, and the background half-blended over the grey.
  bool prompt = false;
  for (int y = 60 + 150 - 13 - 5; y < 60 + 150 - 5; ++y)
    for (int x = 55; x < 62; ++x) prompt = prompt || IsLit(screen, x, y);
  EXPECT_TRUE(prompt);
  SDL_Color blended = ydxtest::ColorAt(screen, 50 + 299, 60 + 149);
  EXPECT_NEAR(blended.r, 20, 2);
  EXPECT_NEAR(blended.b, 20 + 96, 2);
}

TEST_F(ConsoleTest, TheBuiltInFontIsOurOwnStripOfGlyphs) {
  extern const unsigned char ydx_BuiltinFontPNG[];
  extern const int ydx_BuiltinFontPNGSize;
  ASSERT_GT(ydx_BuiltinFontPNGSize, 33);
  const unsigned char* png = ydx_BuiltinFontPNG;
  auto word = [&](int at) { return (Uint32)png[at] << 24 | (Uint32)png[at + 1] << 16 | (Uint32)png[at + 2] << 8 | png[at + 3]; };
  EXPECT_EQ(std::string((const char*)png + 12, 4), "IHDR");
  EXPECT_EQ(word(16), 899u);
  EXPECT_EQ(word(20), 14u);
  EXPECT_EQ(png[24], 8);    // bits per channel
  EXPECT_EQ(png[25], 2);    // RGB truecolour
  EXPECT_EQ(png[28], 0);    // no interlace
  SDL_Surface* image = IImage->LoadPNG(png, ydx_BuiltinFontPNGSize);
  ASSERT_NE(image, nullptr);
  Yandorix_CFont probe;
  EXPECT_EQ(probe.Test(image), 0);   // the marker row builds from the empty columns
  SDL_FreeSurface(image);
  EXPECT_EQ(Yandorix.ConGetFont()->StringWidth((char*)"M"), 8);
}

TEST_F(ConsoleTest, LinesArriveFromTheLogAndFromOtherThreads) {
  ILogSystem.Init("test.log", 2 | 16, 5, "test", NULL, NULL, NULL);
  std::string longText(5000, 'q');
  ILogSystem.Msg(0, " . %s=%d %s|%.2f\n", "alpha", 42, longText.c_str(), 2.5);
  Yandorix.ConPrint((char*)"%s %d %s", "one", 1, "%d");
  ForwardAsCharPointer("%s %d", "two", 2);
  Yandorix.ConCmd((char*)"con save direct.txt");
  EXPECT_EQ(ydxtest::ReadFile("direct.txt"),
            " Console for Yandorix SDK initialized\n\n . alpha=42 " + longText + "|2.50\n\none 1 %d\ntwo 2\n");

  std::thread other([] {
    for (int i = 0; i < 100; ++i) Yandorix.ConPrint((char*)"thread %d", i);
    ILogSystem.Msg(0, "logged by the thread\n");
  });
  other.join();
  Yandorix.Update(NULL);   // the console's logic frame prints what the thread queued
  std::vector<std::string> lines = Lines();
  auto first = std::find(lines.begin(), lines.end(), "thread 0");
  ASSERT_NE(first, lines.end());
  ASSERT_GE(lines.end() - first, 102);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(first[i], "thread " + std::to_string(i));
  EXPECT_EQ(first[100], "logged by the thread");
}

TEST_F(ConsoleTest, WindowsDeletedThroughTheirBaseGoWhole) {
  static_assert(std::has_virtual_destructor<cSimpleWin>::value, "windows are deleted through the base");
  // The destructor comes after the four window operations, which keep the first four slots.
  EXPECT_EQ(Slot(&cSimpleWin::Update), 0u);
  EXPECT_EQ(Slot(&cSimpleWin::Enable), 1u);
  EXPECT_EQ(Slot(&cSimpleWin::Render), 2u);
  EXPECT_EQ(Slot(&cSimpleWin::Layout), 3u);
  int before = Yandorix.numfonts;
  cSimpleWin* console = new cConsole((char*)"extra");
  cSimpleWin* debug = new cDebugWO(static_cast<cConsole*>(console), (char*)"extra debug");
  EXPECT_EQ(Yandorix.numfonts, before + 2);
  delete debug;
  delete console;
  EXPECT_EQ(Yandorix.numfonts, before);
  // The built-in commands act on the console that runs them again, not on the deleted one.
  Mark();
  Yandorix.ConCmd((char*)"help");
  Yandorix.ConCmd((char*)"debug enable");
  EXPECT_EQ(Since(), (std::vector<std::string>{" debug - Debug window control commands", " con - Console control commands",
                                               " help - List all registered commands", "",
                                               " Debug window is disabled", ""}));
}

TEST_F(ConsoleTest, WatchesAreCheckedAndCut) {
  int hp = 3;
  double speed = 0.125;
  EXPECT_EQ(Yandorix.DwAddWatch(NULL, &hp, NULL), 0);
  EXPECT_EQ(Yandorix.DwAddWatch((char*)"none", NULL, NULL), 0);
  EXPECT_EQ(Yandorix.DwAddWatch((char*)"hp", &hp, NULL), 1);   // the window need not be enabled
  EXPECT_EQ(Yandorix.DwAddWatch((char*)"hp", NULL, &speed), 0);
  EXPECT_EQ(Yandorix.DwRemoveWatch(NULL), 0);
  EXPECT_EQ(Yandorix.DwRemoveWatch((char*)"nope"), 0);
  std::string longName(200, 'n');
  EXPECT_EQ(Yandorix.DwAddWatch((char*)longName.c_str(), &hp, &speed), 1);
  Mark();
  Yandorix.ConCmd((char*)"debug list");
  EXPECT_EQ(Since(), (std::vector<std::string>{" hp 3", " " + longName.substr(0, 127), ""}));
}
