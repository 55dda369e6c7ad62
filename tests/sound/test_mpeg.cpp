// MPEG playback: generated movies reach the screen in their colour and place, the loop stops on
// Escape, quit and the frame function, and files that cannot play are refused without harm.
#include "SoundTest.h"
#include <SDL_mixer.h>
#include <cstdlib>
#include <vector>

namespace {

// Y, Cb, Cr of the test movie and the RGB it should show (full-range conversion), with a tolerance
// wide enough for the decoder's and SDL's own rounding.
const int kY = 120, kCb = 100, kCr = 170;
const int kR = 179, kG = 99, kB = 70, kTolerance = 20;

struct Seen {
  int calls = 0;
  std::vector<int> keys;
  SDL_Rect area = {0, 0, 0, 0};
  Uint32 centre = 0;
  int stopAfter = 0;   // 0: never stop
};
Seen seen;

int Watch(int key, SDL_Surface* frame, SDL_Rect* area) {
  seen.calls++;
  seen.keys.push_back(key);
  seen.area = *area;
  if (frame && frame->w > 0 && frame->h > 0 && SDL_LockSurface(frame) == 0) {
    Uint8* row = (Uint8*)frame->pixels + (frame->h / 2) * frame->pitch;
    seen.centre = *(Uint32*)(row + (frame->w / 2) * 4);
    SDL_UnlockSurface(frame);
  }
  return seen.stopAfter && seen.calls >= seen.stopAfter ? 0 : 1;
}

int PlayAgainInside(int, SDL_Surface*, SDL_Rect*) {
  seen.calls++;
  seen.keys.push_back(IVideo->PlayMPEG("movie.mpg", 0, 0));
  return 0;
}

class MpegTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    seen = Seen();
    StartLibrary("dummy");
    OpenScreen(640, 400);
    Save("movie.mpg", ydxsnd::MpegSystem(320, 240, 12, kY, kCb, kCr));
  }
  Uint32 ScreenPixel(int x, int y) {
    SDL_Surface* s = Yandorix.screen;
    SDL_LockSurface(s);
    Uint32 v = *(Uint32*)((Uint8*)s->pixels + y * s->pitch + x * 4);
    SDL_UnlockSurface(s);
    return v;
  }
  static void ExpectMovieColour(Uint32 pixel, SDL_PixelFormat* format) {
    Uint8 r, g, b;
    SDL_GetRGB(pixel, format, &r, &g, &b);
    EXPECT_NEAR(r, kR, kTolerance);
    EXPECT_NEAR(g, kG, kTolerance);
    EXPECT_NEAR(b, kB, kTolerance);
  }
};

}  // namespace

TEST_F(MpegTest, GeneratedMovieShowsItsColourCentredOnTheScreen) {
  IVideo->SetPosition(-1, -1);
  IVideo->SetScale(0, 0);
  IVideo->SetFunction(Watch);
  ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
  ASSERT_GE(seen.calls, 1);   // SMPEG drops frames by timing: at least one, never an exact count
  EXPECT_EQ(seen.area.x, 160);
  EXPECT_EQ(seen.area.y, 80);
  EXPECT_EQ(seen.area.w, 320);
  EXPECT_EQ(seen.area.h, 240);
  ExpectMovieColour(seen.centre, Yandorix.screen->format);
  ExpectMovieColour(ScreenPixel(320, 200), Yandorix.screen->format);
  ExpectMovieColour(ScreenPixel(161, 81), Yandorix.screen->format);
  EXPECT_EQ(ScreenPixel(100, 50), SDL_MapRGB(Yandorix.screen->format, 0, 0, 0));   // outside the movie
  EXPECT_TRUE(Logged(" . [IVideo->Play()] Info: 320x240 video resolution.\n"));
  EXPECT_TRUE(Logged("system audio.\n"));
}

TEST_F(MpegTest, EscapeQuitAndTheFrameFunctionStopThePlayback) {
  IVideo->SetFunction(Watch);
  SDL_Event escape;
  memset(&escape, 0, sizeof escape);
  escape.type = SDL_KEYDOWN;
  escape.key.keysym.sym = SDLK_ESCAPE;
  ASSERT_EQ(SDL_PushEvent(&escape), 0);
  EXPECT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
  ASSERT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.keys[0], 27);

  seen = Seen();
  SDL_Event quit;
  memset(&quit, 0, sizeof quit);
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 0);
  EXPECT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.keys[0], 0);
  ASSERT_EQ(SDL_PollEvent(&quit), 1);   // the window close is the game's once the movie returns
  EXPECT_EQ(quit.type, SDL_QUIT);

  seen = Seen();
  seen.stopAfter = 1;
  EXPECT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
  EXPECT_EQ(seen.calls, 1);
}

TEST_F(MpegTest, SizeAndPlaceSurvivePlaybacksUnclipped) {
  IVideo->SetScale(-5, 100);   // width 0: the movie's own
  IVideo->SetPosition(600, 350);
  IVideo->SetFunction(Watch);
  for (int round = 0; round < 2; round++) {
    seen = Seen();
    seen.stopAfter = 1;
    ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
    EXPECT_EQ(seen.area.x, 600);
    EXPECT_EQ(seen.area.y, 350);
    EXPECT_EQ(seen.area.w, 320);
    EXPECT_EQ(seen.area.h, 100);
  }
  ExpectMovieColour(ScreenPixel(639, 399), Yandorix.screen->format);
}

TEST_F(MpegTest, EffectsFilterAndPlainVideoStreams) {
  struct Case {
    const char* file;
    int effect;
    char filter;
    int r, g, b;
  } cases[] = {
      {"movie.mpg", 5, 0, kR, kG, kB},                   // 5 shows frames unchanged
      {"movie.mpg", 6, 0, 255 - kR, 255 - kG, 255 - kB},  // negative
      {"movie.mpg", 0, 1, kR, kG, kB},                   // smoothing a flat picture keeps its colour
      {"video.m1v", 0, 0, kR, kG, kB},
  };
  Save("video.m1v", ydxsnd::MpegVideo(320, 240, 6, kY, kCb, kCr));
  IVideo->SetFunction(Watch);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " effect " + std::to_string(c.effect));
    seen = Seen();
    IVideo->SetFX(c.effect);
    IVideo->SetScale(0, 0);
    ASSERT_EQ(IVideo->PlayMPEG(c.file, 0, c.filter), 1);
    ASSERT_GE(seen.calls, 1);
    Uint8 r, g, b;
    SDL_GetRGB(seen.centre, Yandorix.screen->format, &r, &g, &b);
    EXPECT_NEAR(r, c.r, kTolerance);
    EXPECT_NEAR(g, c.g, kTolerance);
    EXPECT_NEAR(b, c.b, kTolerance);
  }
}

TEST_F(MpegTest, FilesThatCannotPlayAreRefusedCleanly) {
  Save("audio.mpg", ydxsnd::MpegAudioOnly(10));
  Save("garbage.mpg", std::string(4000, '\x5A'));
  Save("empty.mpg", "");
  IVideo->SetFunction(Watch);
  // No picture to show: with smoothing asked for there is no filter to replace.
  EXPECT_EQ(IVideo->PlayMPEG("audio.mpg", 0, 1), 1);
  EXPECT_EQ(seen.calls, 0);
  for (const char* file : {"garbage.mpg", "empty.mpg", "missing.mpg"}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(IVideo->PlayMPEG(file, 0, 1), 0);
    EXPECT_TRUE(Logged(std::string(" . [IVideo->Play(") + file + ",0,1)] Error: "));
  }
  // Whether SMPEG's text for a file without a stream is there yet or not, each line says what failed.
  for (const char* file : {"garbage.mpg", "empty.mpg"}) {
    std::string log = ydxtest::LogText(), lead = std::string(" . [IVideo->Play(") + file + ",0,1)] Error: ";
    size_t at = log.find(lead);
    ASSERT_NE(at, std::string::npos) << file;
    std::string text = log.substr(at + lead.size(), log.find('\n', at) - at - lead.size());
    EXPECT_GT(text.size(), 1u) << file;
    EXPECT_EQ(text.back(), '.') << file;
  }
  EXPECT_EQ(IVideo->PlayMPEG(NULL, 0, 0), 0);
  EXPECT_TRUE(Logged(" . [IVideo->Play((null),0,0)] Error: no file was given.\n"));
  EXPECT_EQ(seen.calls, 0);
}

TEST_F(MpegTest, NoScreenAndPlaybackInsideAPlaybackAreRefused) {
  IVideo->SetFunction(PlayAgainInside);
  ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 1);
  ASSERT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.keys[0], 0);
  EXPECT_TRUE(Logged(" . [IVideo->Play(movie.mpg,0,0)] Error: a movie is already playing.\n"));
  SDL_Surface* screen = Yandorix.screen;
  Yandorix.screen = NULL;
  EXPECT_EQ(IVideo->PlayMPEG("movie.mpg", 0, 0), 0);
  Yandorix.screen = screen;
  EXPECT_TRUE(Logged(" . [IVideo->Play(movie.mpg,0,0)] Error: there is no screen to play on.\n"));
}

namespace {
int hookSeen = 0;
int WatchHook(int key, SDL_Surface* frame, SDL_Rect* area) {
  if (Mix_GetMusicHookData()) hookSeen++;
  return Watch(key, frame, area);
}
}  // namespace

TEST_F(MpegTest, SoundGoesThroughAn16BitMixerAndIsDroppedOnAn8BitOne) {
  hookSeen = 0;
  IVideo->SetFunction(WatchHook);
  OpenMixer(16);
  ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 1, 0), 1);
  EXPECT_GE(seen.calls, 1);
  EXPECT_EQ(hookSeen, seen.calls);            // the movie's sound replaced the music while it played
  EXPECT_EQ(Mix_GetMusicHookData(), nullptr);   // and the hook is gone afterwards
  EXPECT_EQ(ISoundFX->Initialized(), 1);
  EXPECT_EQ(IVideo->PlayMPEG("missing.mpg", 1, 0), 0);   // SMPEG was asked for no sound of its own
  EXPECT_TRUE(Logged(" . [IVideo->Play(missing.mpg,0,0)] Error: "));

  ISoundFX->Quit();
  OpenMixer(8);
  seen = Seen();
  hookSeen = 0;
  ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 1, 0), 1);
  EXPECT_GE(seen.calls, 1);
  EXPECT_EQ(hookSeen, 0);
  EXPECT_TRUE(Logged(" . [IVideo->Play(movie.mpg,1,0)] Warning: the mixer plays 8-bit samples; the movie plays "
                     "without sound.\n"));

  // With the mixer closed SMPEG opens the device itself.
  ISoundFX->Quit();
  seen = Seen();
  ASSERT_EQ(IVideo->PlayMPEG("movie.mpg", 1, 0), 1);
  EXPECT_GE(seen.calls, 1);
}
