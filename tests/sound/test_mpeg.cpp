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
