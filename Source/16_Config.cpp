// The configuration file: the configuration fields at the head of the main object as the "setup"
// document, kept as a plain file or as an archive "FILE" block, with every value checked on the way in
// so a hand-edited file cannot ask video or sound for something they cannot do.
#include "01_Main.h"
#include "00_Platform.h"
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

typedef Yandorix_Main::sConfig sConfig;

// The help texts below keep the renderer codes of every platform the format was made for; the comment
// says which of them this build runs, and what becomes of the others when the file is read.
const char kComment[] =
    "Yandorix SDK setup system - Yandorix Software. Renderers of this build: detect(1), X11(8), FBCon(16) "
    "and OpenGL(64); Windib(2), DirectX(4) and Quartz(128) are read as detect(1).";
const char kGeneralText[] = "General information";
const char* const kVideoHelp[] = {
    "Renderer: Windib(2), DirectX(4), X11(8), FBCon(16), Quartz(128) and OpenGL(64) .\n",
    "ResolutionX: width of the desired screen.\n",
    "ResolutionY: height of the desired screen.\n",
    "Colordepth: 0,8, 16 or 32 bits.\n",
    "Window: Window(1), Window with no-frame(2) or fullscreen(0).\n",
    "Accel: Software(1), Hardware smooth(2) and Hardware speed(3).\n",
};
const char* const kAudioHelp[] = {
    "Enable: could be 1(enabled) or 0(disabled).\n",
    "Format: 8 or 16 for 8bits/16bits audio stream.\n",
    "Frequency: 11025/22050/44100 samples per second (Hz).\n",
    "Mode: number of channels. 1 for mono, 2 for stereo and 4 for surround.\n",
    "Musicvol: from 0 to 255 is the music volumen.\n",
    "Soundvol: from 0 to 255 is the sound volumen.\n",
    "Buffer: internal buffer(in bytes) to avoid playback problems. 4096 is a good value.\n",
};

sConfig FromMain(const Yandorix_Main& main) {
  sConfig config;
  config.title = main.title;
  config.icon = main.icon;
  config.mtfriendly = main.mtfriendly;
  config.renderer = main.renderer;
  config.accel = main.accel;
  config.window = main.window;
  config.colordepth = main.colordepth;
  config.resolutionx = main.resolutionx;
  config.resolutiony = main.resolutiony;
  config.audioenable = main.audioenable;
  config.audioformat = main.audioformat;
  config.audiofrequency = main.audiofrequency;
  config.audiomode = main.audiomode;
  config.audiobuffer = main.audiobuffer;
  config.musicvol = main.musicvol;
  config.soundvol = main.soundvol;
  return config;
}

// Only the fields the file holds; the caption and the icon stay the application's.
void ToMain(Yandorix_Main& main, const sConfig& config) {
  main.mtfriendly = config.mtfriendly;
  main.renderer = config.renderer;
  main.accel = config.accel;
  main.window = config.window;
  main.colordepth = config.colordepth;
  main.resolutionx = config.resolutionx;
  main.resolutiony = config.resolutiony;
  main.audioenable = config.audioenable;
  main.audioformat = config.audioformat;
  main.audiofrequency = config.audiofrequency;
  main.audiomode = config.audiomode;
  main.audiobuffer = config.audiobuffer;
  main.musicvol = config.musicvol;
  main.soundvol = config.soundvol;
}

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

int OneOf(int value, std::initializer_list<int> allowed, int fallback) {
  for (int candidate : allowed)
    if (value == candidate) return value;
  return fallback;
}

// Reads one attribute of the pointed element into `value`; remembers what was missing.
struct Reader {
  Yandorix_Main& main;
  int h;
  int value;
  const char* missing;
  bool Get(const char* name) { return Found(main.XMLAttributeGet(h, name, &value) == 1, name); }
  bool Section(const char* element) { return Found(main.XMLNodePointTo(h, 2, "setup", element) == 1, element); }
  bool Found(bool found, const char* name) {
    if (!found) missing = name;
    return found;
  }
};

bool ReadGeneral(Reader& in, sConfig* config) {
  if (!in.Section("general") || !in.Get("mtfriendly")) return false;
  config->mtfriendly = (Sint8)Clamp(in.value, 0, 127);
  if (in.main.XMLAttributeGet(in.h, "optcore", &in.value) == 1) SelectCPUCore(in.value);   // optional
  return true;
}

bool ReadVideo(Reader& in, sConfig* config) {
  if (!in.Section("video")) return false;
  if (!in.Get("renderer")) return false;
  config->renderer = (Uint8)OneOf(in.value, {1, 8, 16, 64}, 1);   // the back ends this platform has
  if (!in.Get("resolutionx")) return false;
  config->resolutionx = (Uint16)in.value;
  if (!in.Get("resolutiony")) return false;
  config->resolutiony = (Uint16)in.value;
  if (!in.Get("colordepth")) return false;
  config->colordepth = (Uint8)OneOf(in.value, {0, 8, 16, 32}, 0);
  if (!in.Get("window")) return false;
  config->window = (Sint8)Clamp(in.value, 0, 2);
  if (!in.Get("accel")) return false;
  config->accel = (Uint8)Clamp(in.value, 1, 3);
  return true;
}

bool ReadAudio(Reader& in, sConfig* config) {
  if (!in.Section("audio")) return false;
  if (!in.Get("enable")) return false;
  config->audioenable = (Uint8)Clamp(in.value, 0, 1);
  if (!in.Get("format")) return false;
  config->audioformat = OneOf(Clamp(in.value, 8, 16), {8, 16}, 8);
  if (!in.Get("frequency")) return false;
  config->audiofrequency = OneOf(Clamp(in.value, 11025, 44100), {11025, 22050, 44100}, 11025);
  if (!in.Get("mode")) return false;
  config->audiomode = OneOf(Clamp(in.value, 1, 4), {1, 2, 4}, 1);
  if (!in.Get("musicvol")) return false;
  config->musicvol = (Uint8)Clamp(in.value, 0, 255);
  if (!in.Get("soundvol")) return false;
  config->soundvol = (Uint8)Clamp(in.value, 0, 255);
  if (!in.Get("buffer")) return false;
  config->audiobuffer = Clamp(in.value, 1024, 16384);
  return true;
}

// Creates a child of the pointed element with its integer attributes and help text, then returns to
// the pointed element.
bool AddSection(Yandorix_Main& main, int h, const char* name, std::initializer_list<std::pair<const char*, int>> values,
                const char* const* lines, size_t lineCount) {
  if (!main.XMLNodeCreate(h, name)) return false;
  for (const std::pair<const char*, int>& value : values)
    if (!main.XMLAttributeSet(h, value.first, value.second)) return false;
  for (size_t i = 0; i < lineCount; i++)
    if (!main.XMLTextSet(h, lines[i])) return false;
  return main.XMLNodeParent(h) == 1;
}

bool BuildDocument(Yandorix_Main& main, int h, const sConfig& config) {
  const char* const general[] = {kGeneralText};
  return main.XMLCommentSet(h, kComment) &&
         AddSection(main, h, "general", {{"mtfriendly", config.mtfriendly}}, general, 1) &&
         AddSection(main, h, "video",
                    {{"renderer", config.renderer}, {"resolutionx", config.resolutionx},
                     {"resolutiony", config.resolutiony}, {"colordepth", config.colordepth},
                     {"window", config.window}, {"accel", config.accel}},
                    kVideoHelp, sizeof kVideoHelp / sizeof *kVideoHelp) &&
         AddSection(main, h, "audio",
                    {{"enable", config.audioenable}, {"format", config.audioformat},
                     {"frequency", config.audiofrequency}, {"mode", config.audiomode},
                     {"musicvol", config.musicvol}, {"soundvol", config.soundvol},
                     {"buffer", config.audiobuffer}},
                    kAudioHelp, sizeof kAudioHelp / sizeof *kAudioHelp);
}

// Opens the document for reading: its handle; 0 when it cannot be read (the XML or archive layer said
// why); kNotThereYet when nothing was saved there yet: no such file, no such archive, or an archive
// without that block, as at a game's first start.
const int kNotThereYet = -1;

int OpenDocument(Yandorix_Main& main, const char* dpf, const char* name) {
  bool inArchive = dpf && *dpf;
  if (inArchive && !Yandorix_IsInitialised()) return main.XMLOpen(dpf, name);   // which says why it cannot
  struct stat info;
  if (ydxplat::Stat(inArchive ? dpf : name, &info) != 0 && errno == ENOENT) return kNotThereYet;
  if (!inArchive) return main.XMLOpen(name);
  int archive = IStuffDPF->Open(dpf);
  if (archive <= 0) return 0;
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  bool absent = false;
  if (strlen(name) < sizeof block.name) {   // a longer name cannot be there; XMLOpen says so
    strcpy(block.name, name);
    strcpy(block.type, "FILE");
    absent = IStuffDPF->Search(archive, &block) == 0;
  }
  int h = absent ? kNotThereYet : main.XMLOpen(archive, name);
  IStuffDPF->Close(archive);
  return h;
}

}  // namespace

// Values read before a missing element or attribute are kept; the result then is 0, and the log names
// what was missing.
int Yandorix_Main::LoadConfig(const char* dpf, const char* name, sConfig* config) {
  if (!name || !*name) {
    ILogSystem.Msg(0, " . [Yandorix.LoadConfig()] Error: no file or block name was given.\n");
    return 0;
  }
  int h = OpenDocument(*this, dpf, name);
  if (h == kNotThereYet)
    ILogSystem.Msg(5, " . [Yandorix.LoadConfig('%s','%s')] Info: no configuration was saved here yet; "
                   "the defaults are used.\n", dpf ? dpf : "", name);
  if (h <= 0) return 0;
  sConfig values = config ? *config : FromMain(*this);
  Reader in = {*this, h, 0, NULL};
  bool complete = ReadGeneral(in, &values) && ReadVideo(in, &values) && ReadAudio(in, &values);
  XMLClose(h);
  if (!complete)
    ILogSystem.Msg(2, " . [Yandorix.LoadConfig('%s','%s')] Warning: '%s' is missing or not a whole number; the "
                   "values from there on were not read.\n", dpf ? dpf : "", name, in.missing ? in.missing : "?");
  if (config)
    *config = values;
  else
    ToMain(*this, values);
  return complete ? 1 : 0;
}

int Yandorix_Main::SaveConfig(const char* dpf, const char* name, const sConfig* config) {
  if (!name || !*name) {
    ILogSystem.Msg(0, " . [Yandorix.SaveConfig()] Error: no file or block name was given.\n");
    return 0;
  }
  const sConfig values = config ? *config : FromMain(*this);
  int h = XMLCreate("setup");
  if (!h) return 0;
  bool saved = BuildDocument(*this, h, values) && (dpf && *dpf ? XMLSave(h, dpf, name) : XMLSave(h, name)) > 0;
  XMLClose(h);
  return saved ? 1 : 0;
}
