// MPEG-1 playback: SMPEG decodes into a private surface on its own threads; the display function shows
// each frame (through a screen effect when one is set) and the caller's thread runs a blocking loop of
// events, the application's frame function and the time system until the movie ends or is stopped.
#include "01_Main.h"
#include <SDL_mixer.h>
#include <smpeg.h>
#include <atomic>
#include <cstring>
#include <string>

namespace {

// Playback settings and state: one set per process, like the screen they draw on.
struct VideoState {
  int effect;
  int (*callback)(int, SDL_Surface*, SDL_Rect*);
  SDL_Rect area;
  std::atomic<int> frameCount;   // written by SMPEG's video thread, read by the loop
  int framesSeen;
  SDL_Surface* video;
  SDL_Surface* fx;
  SDL_Surface* current;
  bool playing;
};

VideoState state;

void ResetSettings() {
  state.effect = 0;
  state.callback = NULL;
  memset(&state.area, 0, sizeof state.area);
  state.frameCount = 0;
  state.framesSeen = 0;
}

// SMPEG's display callback, on its video thread, with the playback's surface lock held.
void DisplayFrame(SDL_Surface*, int, int, unsigned int, unsigned int) {
  SDL_Surface* screen = Yandorix.screen;
  if (!screen) return;
  if (state.area.x < 0) state.area.x = (Sint16)(screen->w / 2 - state.area.w / 2);
  if (state.area.y < 0) state.area.y = (Sint16)(screen->h / 2 - state.area.h / 2);
  state.current = state.video;
  if (state.effect != 0 && state.effect != 5 && IScreenFX) {
    IScreenFX->RenderFX(state.video, state.fx, state.effect);
    state.current = state.fx;
  }
  if (!Yandorix.IsGL()) {
    SDL_Rect target = state.area;   // the blit clips its rectangle; the stored area must stay as set
    SDL_UpperBlit(state.current, NULL, screen, &target);
  }
  SDL_Flip(screen);
  state.frameCount++;
}

// The mixer's music hook on the mixer route: the movie's sound replaces the music while it plays.
void MixerHook(void* mpeg, Uint8* stream, int length) { SMPEG_playAudio((SMPEG*)mpeg, stream, length); }

SDL_Surface* PlaybackSurface(SDL_Surface* screen) {
  const SDL_PixelFormat* f = screen->format;
  return SDL_CreateRGBSurface(SDL_SWSURFACE, state.area.w, state.area.h, f->BitsPerPixel, f->Rmask, f->Gmask,
                              f->Bmask, 0);
}

void FreeSurfaces() {
  SDL_FreeSurface(state.video);
  SDL_FreeSurface(state.fx);
  state.video = state.fx = state.current = NULL;
}

// One turn's events: the last key pressed, and whether Escape or a quit event asks to stop. The window
// close is kept for the game.
int PollEvents(bool* stop, Yandorix_QuitKeeper* quit) {
  int key = 0;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN) {
      key = event.key.keysym.sym;
      if (key == SDLK_ESCAPE) *stop = true;
    } else if (event.type == SDL_QUIT) {
      quit->Note(event);
      *stop = true;
    }
  }
  return key;
}

}  // namespace

struct sVideoPrivate {
  int unused;
};

Yandorix_IVideo::Yandorix_IVideo() {
  p = new sVideoPrivate();
  ResetSettings();
  ILogSystem.Msg(5, " . [IVideo] Interfaz created.\n");
}

Yandorix_IVideo::~Yandorix_IVideo() {
  ResetSettings();
  delete p;
  ILogSystem.Msg(5, " . [IVideo] Interfaz deleted.\n");
}

void Yandorix_IVideo::SetScale(int width, int height) {
  if (state.video) return;
  state.area.w = (Uint16)(width > 0 ? width : 0);
  state.area.h = (Uint16)(height > 0 ? height : 0);
}

void Yandorix_IVideo::SetPosition(int x, int y) {
  state.area.x = (Sint16)x;
  state.area.y = (Sint16)y;
}

void Yandorix_IVideo::SetFX(int effect) { state.effect = effect; }

void Yandorix_IVideo::SetFunction(int (*callback)(int, SDL_Surface*, SDL_Rect*)) { state.callback = callback; }

int Yandorix_IVideo::PlayMPEG(const char* file, char sound, char filter) {
  const char* name = file ? file : "(null)";
  if (state.playing) {
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error: a movie is already playing.\n", name, sound, filter);
    return 0;
  }
  SDL_Surface* screen = Yandorix.screen;
  if (!file || !screen) {
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error: %s.\n", name, sound, filter,
                   file ? "there is no screen to play on" : "no file was given");
    return 0;
  }
  // With the mixer open the device is the mixer's: the movie's sound goes through its music hook, and
  // SMPEG is told no sound of its own (the error lines name the call with what SMPEG was given).
  bool mixerRoute = sound && ISoundFX && ISoundFX->Initialized() == 1;
  int smpegSound = mixerRoute ? 0 : sound;
  SMPEG_Info info;
  memset(&info, 0, sizeof info);
  SDL_ClearError();   // SDL's text then speaks of this start only, not of whatever failed before
  SMPEG* mpeg = SMPEG_new(file, &info, smpegSound);
  const char* error = mpeg ? SMPEG_error(mpeg) : "SMPEG could not be started";
  if (error) {
    // SMPEG fills its text from its own thread: it may still be empty, or end in a line break.
    std::string text = error;
    while (!text.empty() && strchr("\r\n .", text.back())) text.pop_back();
    if (text.empty()) text = SDL_GetError();
    if (text.empty()) text = "no MPEG stream found in the file";
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error: %s.\n", file, smpegSound, filter, text.c_str());
    if (mpeg) SMPEG_delete(mpeg);
    return 0;
  }
  SMPEG_enableaudio(mpeg, smpegSound);
  SMPEG_enablevideo(mpeg, 1);
  SMPEG_setvolume(mpeg, 100);

  bool hooked = false;
  if (mixerRoute) {
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    ISoundFX->QuerySpec(&frequency, &format, &channels);
    if ((format & 0xFF) == 8) {
      // SMPEG only produces 16-bit samples; on an 8-bit mixer they would play as noise.
      ILogSystem.Msg(2, " . [IVideo->Play(%s,%d,%d)] Warning: the mixer plays 8-bit samples; the movie plays "
                        "without sound.\n", file, sound, filter);
    } else {
      SDL_AudioSpec spec;
      memset(&spec, 0, sizeof spec);
      spec.freq = frequency;
      spec.format = format;
      spec.channels = (Uint8)channels;
      SMPEG_actualSpec(mpeg, &spec);
      Mix_HookMusic(MixerHook, mpeg);
      SMPEG_enableaudio(mpeg, 1);
      hooked = true;
    }
  }
  if (filter && info.has_video) {   // a stream without video has no filter to replace
    SMPEG_Filter* old = SMPEG_filter(mpeg, SMPEGfilter_bilinear());
    if (old && old->destroy) old->destroy(old);
  }
  if (state.area.w == 0) state.area.w = (Uint16)info.width;
  if (state.area.h == 0) state.area.h = (Uint16)info.height;
  SMPEG_scaleXY(mpeg, state.area.w, state.area.h);
  if (info.has_video) ILogSystem.Msg(5, " . [IVideo->Play()] Info: %dx%d video resolution.\n", info.width, info.height);
  if (info.has_audio) ILogSystem.Msg(5, " . [IVideo->Play()] Info: %s system audio.\n", info.audio_string);
  if (info.total_time != 0) ILogSystem.Msg(5, " . [IVideo->Play()] Info: %f time.\n", info.total_time);

  auto abandon = [&]() {
    if (hooked) Mix_HookMusic(NULL, NULL);
    SMPEG_delete(mpeg);
    FreeSurfaces();
    return 0;
  };
  state.video = PlaybackSurface(screen);
  if (!state.video) {
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error creating video surface.\n", file, smpegSound, filter);
    return abandon();
  }
  state.fx = PlaybackSurface(screen);
  if (!state.fx) {
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error creating FX surface.\n", file, smpegSound, filter);
    return abandon();
  }
  SDL_mutex* lock = SDL_CreateMutex();
  if (!lock) {
    ILogSystem.Msg(0, " . [IVideo->Play(%s,%d,%d)] Error: %s.\n", file, smpegSound, filter, SDL_GetError());
    return abandon();
  }
  state.current = state.video;
  state.frameCount = 0;
  state.framesSeen = 0;
  state.playing = true;
  // SMPEG holds `lock` while it draws a frame and calls DisplayFrame; the loop holds it while it touches
  // the screen, the area and the frame surface.
  SMPEG_setdisplay(mpeg, state.video, lock, DisplayFrame);
  SMPEG_play(mpeg);

  bool stop = false;
  Yandorix_QuitKeeper quit;   // a window close that stopped the movie reaches the game once it returns
  while (!stop && SMPEG_status(mpeg) == SMPEG_PLAYING) {
    SDL_mutexP(lock);
    int key = PollEvents(&stop, &quit);
    SDL_mutexV(lock);
    while (state.frameCount == state.framesSeen && SMPEG_status(mpeg) == SMPEG_PLAYING) SDL_Delay(20);
    state.framesSeen = state.frameCount;
    SDL_mutexP(lock);
    if (state.callback && state.callback(key, state.current, &state.area) == 0) stop = true;
    if (ITimeSystem) ITimeSystem->Update();
    SDL_mutexV(lock);
  }

  SMPEG_stop(mpeg);
  if (hooked) Mix_HookMusic(NULL, NULL);
  SMPEG_delete(mpeg);
  SDL_DestroyMutex(lock);
  FreeSurfaces();
  state.playing = false;
  return 1;
}
