// The main object's utilities: CRC-32 against zlib, MT19937 against the standard library, version
// texts, key names and key polling, surface helpers and dumps, binary text and directory creation.
#include "CoreTest.h"
#include <algorithm>
#include <climits>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <zlib.h>

class UtilitiesTest : public CoreTest {
 protected:
  static unsigned int ZlibCRC(const std::string& bytes) {
    return (unsigned int)crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
  }
  static std::string RandomBytes(size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = (char)generator();
    return bytes;
  }
};

TEST_F(UtilitiesTest, CRCCheckValueAndEmptyInput) {
  EXPECT_EQ(Yandorix.CRC32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Yandorix.CRC32("123456789", 0), 0u);
  EXPECT_EQ(Yandorix.CRC32("123456789", -4), 0u);
  EXPECT_EQ(Yandorix.CRC32(NULL, 9), 0u);
}

TEST_F(UtilitiesTest, CRCMatchesZlibAtEveryLengthAndAlignment) {
  std::string bytes = RandomBytes(2200, 7);
  for (size_t offset = 0; offset < 16; offset++)
    for (size_t length = 1; length + offset <= 1100; length++) {
      std::string piece = bytes.substr(offset, length);
      ASSERT_EQ(Yandorix.CRC32(bytes.data() + offset, (int)length), ZlibCRC(piece))
          << "offset " << offset << " length " << length;
    }
  std::string large = RandomBytes((5 << 20) + 13, 9);
  EXPECT_EQ(Yandorix.CRC32(large.data(), (int)large.size()), ZlibCRC(large));
  std::string zeros(100000, '\0'), ones(100000, '\xFF');
  EXPECT_EQ(Yandorix.CRC32(zeros.data(), (int)zeros.size()), ZlibCRC(zeros));
  EXPECT_EQ(Yandorix.CRC32(ones.data(), (int)ones.size()), ZlibCRC(ones));
}

TEST_F(UtilitiesTest, CRCTableIsBuiltOnceUnderConcurrentFirstUse) {
  std::string bytes = RandomBytes(70000, 3);
  unsigned int expected = ZlibCRC(bytes), results[4] = {0, 0, 0, 0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; i++)
    threads.emplace_back([&, i] { results[i] = Yandorix.CRC32(bytes.data(), (int)bytes.size()); });
  for (std::thread& thread : threads) thread.join();
  for (unsigned int result : results) EXPECT_EQ(result, expected);
  EXPECT_EQ(MainPrivate()->crcready, 1);
}

TEST_F(UtilitiesTest, CRCOfFilesStreamsReadOnlyAndRefusesSpecialFiles) {
  std::string content = RandomBytes((3 << 20) + 17, 5);   // several read chunks
  ASSERT_TRUE(ydxtest::WriteFile("data.bin", content));
  ASSERT_EQ(chmod("data.bin", 0444), 0);
  EXPECT_EQ(Yandorix.CRC32("data.bin"), ZlibCRC(content));
  ASSERT_TRUE(ydxtest::WriteFile("empty.bin", ""));
  EXPECT_EQ(Yandorix.CRC32("empty.bin"), 0u);
  EXPECT_EQ(Yandorix.CRC32("missing.bin"), 0u);
  EXPECT_EQ(Yandorix.CRC32((const char*)NULL), 0u);
  ASSERT_EQ(mkdir("folder", 0755), 0);
  EXPECT_EQ(Yandorix.CRC32("folder"), 0u);
  ASSERT_EQ(mkfifo("pipe", 0644), 0);
  EXPECT_EQ(Yandorix.CRC32("pipe"), 0u);   // no writer: must not wait for one
}

TEST_F(UtilitiesTest, MersenneTwisterMatchesTheStandardGenerator) {
  EXPECT_EQ(Yandorix.Rand(), 3499211612u);   // never seeded: the sequence of seed 5489
  std::mt19937 reference;
  reference();
  for (int i = 1; i < 2000; i++) ASSERT_EQ(Yandorix.Rand(), reference()) << i;
  Yandorix.RandSeed(5489);
  EXPECT_EQ(Yandorix.Rand(), 3499211612u);
  Yandorix.RandSeed(20130325);
  std::mt19937 seeded(20130325);
  for (int i = 0; i < 1500; i++) ASSERT_EQ(Yandorix.Rand(), seeded()) << i;
  for (int i = 0; i < 10000; i++) {
    double value = Yandorix.RandReal();
    ASSERT_GE(value, 0.0);
    ASSERT_LE(value, 1.0);
  }
}

TEST_F(UtilitiesTest, RandFromTwoThreadsHandsOutTheSequenceOnce) {
  Yandorix.RandSeed(99);
  const int kEach = 50000;
  std::vector<unsigned int> first(kEach), second(kEach);
  std::thread a([&] { for (unsigned int& value : first) value = Yandorix.Rand(); });
  std::thread b([&] { for (unsigned int& value : second) value = Yandorix.Rand(); });
  a.join();
  b.join();
  std::vector<unsigned int> drawn(first), expected(2 * kEach);
  drawn.insert(drawn.end(), second.begin(), second.end());
  std::mt19937 reference(99);
  for (unsigned int& value : expected) value = reference();
  std::sort(drawn.begin(), drawn.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(drawn, expected);
}

TEST_F(UtilitiesTest, VersionTexts) {
  ydxtest::StartLog();
  EXPECT_STREQ(Yandorix.GetVersion(), "Yandorix SDK Win32 v5.22 (build 3336)");
  EXPECT_EQ(Yandorix.RequireVersion(5, 22), 1);
  EXPECT_EQ(Yandorix.RequireVersion(4, 99), 1);
  EXPECT_EQ(Yandorix.RequireVersion(5, 23), 0);
  EXPECT_EQ(Yandorix.RequireVersion(6, 0), 0);
  Yandorix.PrintVersion();
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, "\n . [Error] - Found Yandorix SDK Win32 v5.22 and minimum v5.23 is required.\n\n"));
  EXPECT_TRUE(Contains(text, "\n . [Error] - Found Yandorix SDK Win32 v5.22 and minimum v6.0 is required.\n\n"));
  EXPECT_TRUE(Contains(text, std::string("\n . Yandorix SDK Win32 v5.22 (build 3336)\n") + Yandorix.GetCopyright() +
                                 "\nCompiled on "));
}

TEST_F(UtilitiesTest, KeyNames) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  EXPECT_STREQ(Yandorix.GetKeyName(97), "a");
  EXPECT_STREQ(Yandorix.GetKeyName(65), "A");
  EXPECT_STREQ(Yandorix.GetKeyName(32), " ");
  EXPECT_STREQ(Yandorix.GetKeyName(37), "%");
  EXPECT_STREQ(Yandorix.GetKeyName(126), "~");
  EXPECT_STREQ(Yandorix.GetKeyName(49), "1");
  EXPECT_EQ(Yandorix.GetKeyName(127), nullptr);
  EXPECT_EQ(Yandorix.GetKeyName(-3), nullptr);
  EXPECT_EQ(Yandorix.GetKeyName(5000), nullptr);
  SDL_Quit();
}

class KeyPressTest : public UtilitiesTest {
 protected:
  void SetUp() override {
    UtilitiesTest::SetUp();
    StartLibrary();
    EXPECT_EQ(Yandorix.GetKeyPressed(0), 0);   // no snapshot yet; the test reads keys from here on
    Yandorix.Update(NULL);                     // the first snapshot (free-running logic)
    keys = SDL_GetKeyState(NULL);
    // Then 20 logic frames a second on a clock that stands still: Update polls events without taking
    // snapshots, as between two logic frames.
    ITimeSystem->Init(0);
    ITimeSystem->SetRate(0, 20);
  }
  void TearDown() override {
    memset(keys, 0, SDLK_LAST);
    SDL_SetModState(KMOD_NONE);
    UtilitiesTest::TearDown();
  }
  int Press(int key, SDLMod modifiers) {
    memset(keys, 0, SDLK_LAST);
    keys[key] = 1;
    SDL_SetModState(modifiers);
    ydxtest::ManualClock::Advance(1000);
    return Yandorix.GetKeyPressed(100);
  }
  // A key pressed and released between two logic frames, polled by Update as the game loop does.
  static void Tap(SDLKey key, SDLMod modifiers = KMOD_NONE) {
    ydxtest::PushKey(SDL_KEYDOWN, key, modifiers);
    ydxtest::PushKey(SDL_KEYUP, key, modifiers);
    Yandorix.Update(NULL);
    Yandorix.Update(NULL);
  }
  // One logic frame 50 ms later (the pass that sees the time go by hands it out).
  static void Snapshot() {
    ydxtest::ManualClock::Advance(50);
    for (int pass = 0; pass < 3 && Yandorix.Update(NULL) != 0; pass++) {
    }
  }
  static std::vector<int> Typed(int count, int delay = 100, Uint32 every = 0) {
    std::vector<int> typed;
    for (int i = 0; i < count; i++) {
      ydxtest::ManualClock::Advance(every);
      typed.push_back(Yandorix.GetKeyPressed(delay));
    }
    return typed;
  }
  Uint8* keys = NULL;
};

TEST_F(KeyPressTest, HeldKeyRepeatsAfterItsDelay) {
  keys[SDLK_a] = 1;
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 'a');
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 0);
  ydxtest::ManualClock::Advance(150);
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 0);
  keys[SDLK_b] = 1;   // another held key takes its turn meanwhile
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 'b');
  ydxtest::ManualClock::Advance(51);
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 'a');
  EXPECT_EQ(Yandorix.GetKeyPressed(200), 0);
}

TEST_F(KeyPressTest, TappedKeysComeFirstOldestFirstWithTheirOwnModifiers) {
  keys[SDLK_c] = 1;                 // held all along
  SDL_SetModState(KMOD_LSHIFT);     // Shift is down now, but not for every tap
  Tap(SDLK_b);
  Tap(SDLK_a, KMOD_LSHIFT);
  Tap(SDLK_KP8, KMOD_NUM);
  Tap(SDLK_KP8);
  EXPECT_EQ(Typed(6), (std::vector<int>{'b', 'A', '8', SDLK_UP, 'C', 0}));

  // A held key whose press is still in SDL's queue is typed once, from its press, then repeats.
  keys[SDLK_c] = 0;
  SDL_SetModState(KMOD_NONE);
  keys[SDLK_d] = 1;
  ydxtest::PushKey(SDL_KEYDOWN, SDLK_d);
  ydxtest::ManualClock::Advance(500);
  EXPECT_EQ(Yandorix.GetKeyPressed(100), 0);
  Yandorix.Update(NULL);
  EXPECT_EQ(Typed(2), (std::vector<int>{'d', 0}));
  EXPECT_EQ(Typed(2, 100, 101), (std::vector<int>{'d', 'd'}));
}

TEST_F(KeyPressTest, PressesWaitOnlyForAReaderAndAreBounded) {
  // The application reads keys: the 64 newest of 70 presses wait, oldest first.
  std::vector<int> expected;
  for (int i = 0; i < 70; i++) {
    SDLKey key = (SDLKey)(SDLK_a + i % 26);
    Tap(key);
    if (i >= 6) expected.push_back(key);
  }
  expected.push_back(0);
  EXPECT_EQ(Typed(65), expected);
  // A game counts as reading for a second after its last read, and at least two logic frames: what is
  // typed meanwhile waits for its next read, unless the snapshots found the window passed first. The
  // tap comes to the game in Update's record, as in an event loop.
  enum Then { kLoopRuns, kHitch, kOnItsEvent };   // how the time after the tap passes
  const struct {
    int logicRate;
    Uint32 typedAfter, readAfter;   // ms after the last read, then after the tap
    Then then;
    int read;
  } rows[] = {
      {20, 100, 300, kLoopRuns, 'x'},    // a game reading at its own pace, every 450 ms
      {20, 50, 5000, kLoopRuns, 0},      // a chat that stopped reading: its key never surfaces later
      {20, 50, 1500, kHitch, 'x'},       // polled just before the game's own step hitched
      {20, 1100, 10, kLoopRuns, 0},      // typed while nobody read, its event left alone
      {1, 1500, 400, kLoopRuns, 'x'},    // one logic frame a second: two of them
      {20, 1100, 0, kOnItsEvent, 'x'},   // typed while nobody read, read when its event came
  };
  for (const auto& row : rows) {
    ITimeSystem->SetRate(0, row.logicRate);
    EXPECT_EQ(Yandorix.GetKeyPressed(100), 0);
    ydxtest::ManualClock::Advance(row.typedAfter);
    ydxtest::PushKey(SDL_KEYDOWN, SDLK_x);
    ydxtest::PushKey(SDL_KEYUP, SDLK_x);
    SDL_Event event;
    for (int pass = row.then == kOnItsEvent ? 1 : 2; pass > 0; pass--) Yandorix.Update(&event);
    ydxtest::ManualClock::Advance(row.readAfter);
    if (row.then == kLoopRuns) Snapshot();
    EXPECT_EQ(Typed(2), (std::vector<int>{row.read, 0})) << row.typedAfter << " " << row.readAfter;
  }
}

TEST_F(KeyPressTest, RepeatsSentBySDLModifierKeysAndForgottenPressesTypeNothing) {
  using ydxtest::PushKey;
  SDL_EnableKeyRepeat(500, 30);
  keys[SDLK_a] = 1;
  PushKey(SDL_KEYDOWN, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_a);   // SDL's own repeat of the held key
  PushKey(SDL_KEYUP, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_LSHIFT);
  PushKey(SDL_KEYUP, SDLK_LSHIFT);
  for (int i = 0; i < 5; i++) Yandorix.Update(NULL);
  keys[SDLK_a] = 0;
  Tap(SDLK_a);
  // A key let go while SDL sent no release (the window regained focus): its next press counts.
  keys[SDLK_b] = 1;
  PushKey(SDL_KEYDOWN, SDLK_b);
  Yandorix.Update(NULL);
  keys[SDLK_b] = 0;
  Snapshot();
  PushKey(SDL_KEYDOWN, SDLK_b);
  Yandorix.Update(NULL);
  SDL_EnableKeyRepeat(0, 0);
  EXPECT_EQ(Typed(5), (std::vector<int>{'a', 'a', 'b', 'b', 0}));
  Tap(SDLK_c);
  Yandorix.CleanUp();
  EXPECT_EQ(Yandorix.GetKeyPressed(100), 0);
}

TEST_F(KeyPressTest, ShiftAndKeypadTranslation) {
  EXPECT_EQ(Press(SDLK_a, KMOD_LSHIFT), 'A');
  EXPECT_EQ(Press(SDLK_1, KMOD_RSHIFT), '!');
  EXPECT_EQ(Press(SDLK_MINUS, KMOD_LSHIFT), '_');
  EXPECT_EQ(Press(SDLK_QUOTE, KMOD_LSHIFT), '"');
  EXPECT_EQ(Press(SDLK_BACKQUOTE, KMOD_LSHIFT), '~');
  EXPECT_EQ(Press(SDLK_SLASH, KMOD_NONE), '/');
  EXPECT_EQ(Press(SDLK_KP8, KMOD_NONE), SDLK_UP);
  EXPECT_EQ(Press(SDLK_KP8, KMOD_NUM), '8');
  EXPECT_EQ(Press(SDLK_KP_PERIOD, KMOD_NUM), '.');
  EXPECT_EQ(Press(SDLK_KP_PERIOD, KMOD_NONE), SDLK_DELETE);
  EXPECT_EQ(Press(SDLK_KP5, KMOD_NONE), SDLK_KP5);
  EXPECT_EQ(Press(SDLK_KP0, KMOD_NONE), SDLK_INSERT);
  EXPECT_EQ(Press(SDLK_KP_ENTER, KMOD_NUM), 13);
  EXPECT_EQ(Press(SDLK_KP_MULTIPLY, KMOD_NONE), '*');
  EXPECT_EQ(Press(SDLK_F1, KMOD_LSHIFT), SDLK_F1);
}

TEST_F(UtilitiesTest, SurfaceHelpers) {
  ydxtest::StartLog();
  SDL_Surface* nothing = NULL;
  EXPECT_EQ(Yandorix.FreeSurface(nothing), 0);
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Yandorix.FreeSurface()] Warning: an attempt to free a null surface "
                                           "was detected and avoided.\n"));
  SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 16, 0xF800, 0x07E0, 0x001F, 0);
  EXPECT_EQ(SurfaceDiffersFromScreen(surface), 0);   // no screen
  EXPECT_EQ(Yandorix.IsTexture(surface), 0);
  EXPECT_EQ(Yandorix.Surface2Texture(surface), 0);   // not under OpenGL
  EXPECT_EQ(Yandorix.FreeSurface(surface), 1);
  EXPECT_EQ(surface, nullptr);
  EXPECT_EQ(Yandorix.SurfaceAutomaticConversion(0), 1);
  EXPECT_EQ(Yandorix_AutoConvert, 0);
  Yandorix.SurfaceAutomaticConversion(7);
  EXPECT_EQ(Yandorix_AutoConvert, 1);
}

TEST_F(UtilitiesTest, SurfaceDiffersFromA32BitScreen) {
  StartLibrary();
  OpenScreen(32);
  SDL_Surface* sixteen = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 16, 0xF800, 0x07E0, 0x001F, 0);
  SDL_Surface* same = SDL_DisplayFormat(sixteen);
  EXPECT_EQ(SurfaceDiffersFromScreen(sixteen), 1);
  EXPECT_EQ(SurfaceDiffersFromScreen(same), 0);
  SDL_Rect where = {10, 10, 0, 0};
  EXPECT_EQ(Yandorix.Blit(same, NULL, Yandorix.screen, &where), 0);
  SDL_FreeSurface(sixteen);
  SDL_FreeSurface(same);
}

// Applications pass destination rectangles with no size, as SDL allows: the cursor must still give
// back and take again the area the blit really covers, or it later paints its old background over
// the new picture.
TEST_F(UtilitiesTest, BlitUnderTheCursorKeepsItsBackgroundCurrent) {
  StartLibrary();
  OpenScreen(32);
  SDL_Surface* screen = Yandorix.screen;
  ICursor->Init();
  ICursor->SetSmooth(0);
  SDL_Surface* arrow = SDL_CreateRGBSurface(SDL_SWSURFACE, 16, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(arrow, NULL, SDL_MapRGB(arrow->format, 255, 255, 255));
  SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 50, 50, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(picture, NULL, SDL_MapRGB(picture->format, 0, 0, 255));
  SDL_FillRect(screen, NULL, 0);
  Yandorix.mousex = Yandorix.mousey = 100;
  ASSERT_EQ(ICursor->Create(arrow, 0), 0);
  ICursor->Select(0);
  ICursor->Update();
  SDL_Rect part = {0, 0, 30, 30};
  for (SDL_Rect* srcrect : {(SDL_Rect*)NULL, &part}) {
    SDL_Rect where = {90, 90, 0, 0};
    EXPECT_EQ(Yandorix.Blit(picture, srcrect, screen, &where), 0);
    Yandorix.mousex += 150;   // the cursor moves on: the area it leaves is the picture's
    ICursor->Update();
    EXPECT_EQ(((Uint32*)screen->pixels)[105 * screen->pitch / 4 + 105], 0x0000FFu) << (srcrect != NULL);
    Yandorix.mousex -= 150;
    ICursor->Update();
  }
  SDL_FreeSurface(arrow);
  SDL_FreeSurface(picture);
}

TEST_F(UtilitiesTest, SurfaceInfoDescribesTheSurface) {
  ydxtest::StartLog();
  SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 20, 10, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_SetColorKey(surface, SDL_SRCCOLORKEY, SDL_MapRGB(surface->format, 255, 0, 255));
  SDL_SetAlpha(surface, SDL_SRCALPHA, 100);
  Yandorix.SurfaceInfo(surface);
  Yandorix.SurfaceInfo(NULL);
  char head[64];
  snprintf(head, sizeof head, "\n . Surface(0x%x) info:\n", (unsigned)(uintptr_t)surface);
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, head));
  EXPECT_TRUE(Contains(text, "   -> Flags: SDL_SWSURFACE SDL_SRCCOLORKEY SDL_SRCALPHA \n"));
  EXPECT_TRUE(Contains(text, "   -> Width: 20 - Height: 10 - Pitch: 80\n"));
  EXPECT_TRUE(Contains(text, "   -> Alpha blending: per-surface (100) - Colorkey: RGB(255,0,255)\n"));
  EXPECT_TRUE(Contains(text, "   -> Mask[16711680,65280,255,0] - Shift[16,8,0,0]\n"));
  EXPECT_TRUE(Contains(text, "   -> ClipRegion (0,0) - (20,10)\n"));
  EXPECT_TRUE(Contains(text, " . [Yandorix.SurfaceInfo()] Error: "));
  SDL_FreeSurface(surface);
}

TEST_F(UtilitiesTest, VideoAndAudioInfo) {
  ydxtest::StartLog();
  Yandorix.AudioInfo();
  Yandorix.VideoInfo();
  ASSERT_EQ(Yandorix.Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 1);
  OpenScreen(32, 320, 200);
  Yandorix.AudioInfo();
  Yandorix.VideoInfo();
  std::string text = ydxtest::LogText();
  EXPECT_TRUE(Contains(text, "\n . Audio subsystem info: Yandorix was not initiated.\n"));
  EXPECT_TRUE(Contains(text, "\n . Audio subsystem info: Audio subsystem was not initiated.\n"));
  EXPECT_TRUE(Contains(text, "\n . Video subsystem info:\n   . Video subsystem was not initiated.\n"));
  EXPECT_TRUE(Contains(text, "   . Renderer: dummy\n"));
  EXPECT_TRUE(Contains(text, "     -> Resolution: 320 x 200 with 32 bits.\n"
                             "     -> Surface is stored on system memory(RAM) and window screen\n"));
  EXPECT_TRUE(Contains(text, "     -> Surface to Texture conversions: at loading time 0 and at running time 0\n"));
}

TEST_F(UtilitiesTest, BinaryText) {
  char buffer[33];
  EXPECT_STREQ(IntToBinaryText(5, buffer), "101");
  EXPECT_STREQ(IntToBinaryText(0, buffer), "0");
  EXPECT_STREQ(IntToBinaryText(INT_MAX, buffer), std::string(31, '1').c_str());
  EXPECT_STREQ(IntToBinaryText(-1, buffer), std::string(32, '1').c_str());
  EXPECT_STREQ(IntToBinaryText(INT_MIN, buffer), ("1" + std::string(31, '0')).c_str());
}

// The last name of a path is a file name; 1 only when every folder before it exists afterwards, and a
// folder that cannot be made is named in an Error line with the system's reason.
TEST_F(UtilitiesTest, MakeDirectoryMakesEveryFolderBeforeTheFileName) {
  ydxtest::StartLog();
  ASSERT_TRUE(ydxtest::WriteFile("plain", "x"));
  const struct {
    std::string path;
    int result;
    const char* folder;   // a folder that must exist afterwards, or NULL
    const char* notMade;  // a path that must not exist afterwards, or NULL
    std::string error;    // the Error line's end, or "" for none
  } cases[] = {
      {"saves/", 1, "saves", NULL, ""},                             // a folder: end it with '/'
      {"saved", 0, NULL, "saved", ""},                              // a bare name is a file name
      {"one/two/file.txt", 1, "one/two", "one/two/file.txt", ""},   // a file path
      {"one/two/again.txt", 1, "one/two", NULL, ""},                // all there already
      {"delta/deeper/more", 1, "delta/deeper", "delta/deeper/more", ""},
      {"win\\style\\name.dat", 1, "win/style", NULL, ""},
      {"trailing/slash/", 1, "trailing/slash", NULL, ""},
      {dir + "/absolute//path/x", 1, "absolute/path", NULL, ""},
      {"plain/inner/file.txt", 0, NULL, "plain/inner",              // through an existing file
       "the folder 'plain' could not be made: a file of that name is in the way.\n"},
      {"plain/file.txt", 0, NULL, NULL, "the folder 'plain' could not be made: a file of that name is in the way.\n"},
      {std::string(300, 'n') + "/file", 0, NULL, NULL,   // the system refuses: its reason is given
       "the folder '" + std::string(300, 'n') + "' could not be made: File name too long.\n"},
      {"", 0, NULL, NULL, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    size_t logged = ydxtest::LogText().size();
    EXPECT_EQ(Yandorix.MakeDirectory(c.path.c_str()), c.result);
    struct stat info;
    EXPECT_TRUE(!c.folder || (stat(c.folder, &info) == 0 && S_ISDIR(info.st_mode)));
    EXPECT_TRUE(!c.notMade || !ydxtest::FileExists(c.notMade));
    std::string lines = ydxtest::LogText().substr(logged);
    EXPECT_EQ(lines, c.error.empty() ? "" : " . [Yandorix.MakeDirectory('" + c.path + "')] Error: " + c.error);
  }
  EXPECT_EQ(Yandorix.MakeDirectory(NULL), 0);
}
