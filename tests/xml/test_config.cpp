// The configuration file: what SaveConfig writes, what LoadConfig accepts, and how it clamps values a
// hand-edited file may hold.
#include "XmlFixture.h"
#include "00_Platform.h"
#include <algorithm>
#include <cerrno>
#include <map>

namespace {

typedef Yandorix_Main::sConfig sConfig;

// A "setup" document with sound values, some replaced or (with an empty text) left out.
std::string ConfigText(const std::map<std::string, std::string>& changes, bool withAudio = true) {
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections = {
      {"general", {{"mtfriendly", "5"}}},
      {"video", {{"renderer", "8"}, {"resolutionx", "800"}, {"resolutiony", "600"}, {"colordepth", "16"},
                 {"window", "0"}, {"accel", "2"}}},
      {"audio", {{"enable", "1"}, {"format", "16"}, {"frequency", "22050"}, {"mode", "2"}, {"musicvol", "10"},
                 {"soundvol", "20"}, {"buffer", "2048"}}},
  };
  std::string text = "<?xml version=\"1.0\" ?>\n<setup>\n";
  for (const auto& section : sections) {
    if (section.first == "audio" && !withAudio) continue;
    text += "  <" + section.first;
    for (const auto& attribute : section.second) {
      auto change = changes.find(attribute.first);
      std::string value = change == changes.end() ? attribute.second : change->second;
      if (!value.empty()) text += " " + attribute.first + "=\"" + value + "\"";
    }
    text += "/>\n";
  }
  return text + "</setup>\n";
}

std::string TextOf(int h) {
  const char* text = Yandorix.XMLTextGet(h);
  return text ? text : "";
}

sConfig Blank() {
  sConfig config = {};
  config.title = (char*)"untouched";
  return config;
}

}  // namespace

class ConfigTest : public XmlTest {
 protected:
  // Loads one changed value into a fresh record and returns that record.
  static sConfig LoadWith(const std::string& attribute, const std::string& value) {
    ydxtest::WriteFile("setup.xml", ConfigText({{attribute, value}}));
    sConfig config = Blank();
    EXPECT_EQ(Yandorix.LoadConfig(NULL, "setup.xml", &config), 1) << attribute << "=" << value;
    return config;
  }
};

TEST_F(ConfigTest, DefaultsSavedAndLoadedBack) {
  ASSERT_EQ(Yandorix.SaveConfig(NULL, "cfg/setup.xml", NULL), 1);
  Yandorix.mtfriendly = 9;
  Yandorix.resolutionx = 1;
  Yandorix.audiobuffer = 1;
  Yandorix.musicvol = 1;
  ASSERT_EQ(Yandorix.LoadConfig("", "cfg/setup.xml", NULL), 1);
  EXPECT_EQ(Yandorix.mtfriendly, 0);
  EXPECT_EQ(Yandorix.renderer, 1);
  EXPECT_EQ(Yandorix.accel, 1);
  EXPECT_EQ(Yandorix.window, 1);
  EXPECT_EQ(Yandorix.colordepth, 0);
  EXPECT_EQ(Yandorix.resolutionx, 640);
  EXPECT_EQ(Yandorix.resolutiony, 480);
  EXPECT_EQ(Yandorix.audioenable, 0);
  EXPECT_EQ(Yandorix.audioformat, 16);   // the default 32776 is above the file's range
  EXPECT_EQ(Yandorix.audiofrequency, 11025);
  EXPECT_EQ(Yandorix.audiomode, 1);
  EXPECT_EQ(Yandorix.audiobuffer, 4096);
  EXPECT_EQ(Yandorix.musicvol, 128);
  EXPECT_EQ(Yandorix.soundvol, 128);
  EXPECT_STREQ(Yandorix.title, "Yandorix SDK Application");
}

TEST_F(ConfigTest, ARecordRoundTripsWithoutTouchingTheMainObject) {
  const sConfig config = {(char*)"mine", NULL, 3, 64, 3, 2, 32, 1920, 1080, 1, 8, 44100, 4, 16384, 255, 7};
  ASSERT_EQ(Yandorix.SaveConfig(NULL, "setup.xml", &config), 1);
  sConfig back = Blank();
  ASSERT_EQ(Yandorix.LoadConfig(NULL, "setup.xml", &back), 1);
  const int written[] = {config.mtfriendly, config.renderer, config.accel, config.window, config.colordepth,
                         config.resolutionx, config.resolutiony, config.audioenable, config.audioformat,
                         config.audiofrequency, config.audiomode, config.audiobuffer, config.musicvol,
                         config.soundvol};
  const int read[] = {back.mtfriendly, back.renderer, back.accel, back.window, back.colordepth, back.resolutionx,
                      back.resolutiony, back.audioenable, back.audioformat, back.audiofrequency, back.audiomode,
                      back.audiobuffer, back.musicvol, back.soundvol};
  for (size_t i = 0; i < sizeof read / sizeof *read; i++) EXPECT_EQ(read[i], written[i]) << "field " << i;
  EXPECT_STREQ(back.title, "untouched");
  EXPECT_EQ(Yandorix.resolutionx, 640);
}

TEST_F(ConfigTest, SavedDocumentHoldsTheSectionsInOrderWithTheirHelp) {
  ASSERT_EQ(Yandorix.SaveConfig(NULL, "setup.xml", NULL), 1);
  int h = Yandorix.XMLOpen("setup.xml");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "setup");
  EXPECT_NE(Yandorix.XMLCommentGet(h), nullptr);
  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "general");
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "General information");
  ASSERT_EQ(Yandorix.XMLNodeNext(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "video");
  std::string help = TextOf(h);   // six help lines, joined
  EXPECT_EQ(help.find("Renderer: "), 0u);
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 6);
  ASSERT_EQ(Yandorix.XMLNodeNext(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "audio");
  help = TextOf(h);
  EXPECT_EQ(help.find("Enable: "), 0u);
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 7);
  int format = 0;
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "format", &format), 1);
  EXPECT_EQ(format, 32776);   // written as held
  EXPECT_EQ(Yandorix.XMLNodeNext(h), 0);
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 2, "setup", "general"), 1);
  const char* optcore = nullptr;
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "optcore", &optcore), 0);
}

TEST_F(ConfigTest, EveryValueIsClampedToWhatVideoAndSoundAccept) {
  struct Case {
    const char* attribute;
    const char* value;
    int expected;
  };
  const Case cases[] = {
      {"mtfriendly", "-5", 0},     {"mtfriendly", "200", 127},  {"mtfriendly", "50", 50},
      {"renderer", "0", 1},        {"renderer", "2", 1},        {"renderer", "4", 1},
      {"renderer", "8", 8},        {"renderer", "16", 16},      {"renderer", "64", 64},
      {"renderer", "128", 1},      {"renderer", "300", 1},      {"resolutionx", "65541", 5},
      {"resolutiony", "1024", 1024}, {"colordepth", "-1", 0},   {"colordepth", "24", 0},
      {"colordepth", "33", 0},     {"colordepth", "32", 32},    {"colordepth", "8", 8},
      {"window", "-1", 0},         {"window", "3", 2},          {"window", "1", 1},
      {"accel", "0", 1},           {"accel", "4", 3},           {"accel", "2", 2},
      {"enable", "-1", 0},         {"enable", "2", 1},          {"format", "4", 8},
      {"format", "12", 8},         {"format", "32776", 16},     {"frequency", "30000", 11025},
      {"frequency", "50000", 44100}, {"frequency", "100", 11025}, {"frequency", "22050", 22050},
      {"mode", "0", 1},            {"mode", "3", 1},            {"mode", "6", 4},
      {"mode", "2", 2},            {"musicvol", "-1", 0},       {"musicvol", "300", 255},
      {"soundvol", "-7", 0},       {"soundvol", "256", 255},    {"buffer", "100", 1024},
      {"buffer", "20000", 16384},  {"buffer", "4096", 4096},
  };
  for (const Case& c : cases) {
    sConfig config = LoadWith(c.attribute, c.value);
    const std::map<std::string, int> fields = {
        {"mtfriendly", config.mtfriendly}, {"renderer", config.renderer},
        {"resolutionx", config.resolutionx}, {"resolutiony", config.resolutiony},
        {"colordepth", config.colordepth}, {"window", config.window},
        {"accel", config.accel},           {"enable", config.audioenable},
        {"format", config.audioformat},    {"frequency", config.audiofrequency},
        {"mode", config.audiomode},        {"musicvol", config.musicvol},
        {"soundvol", config.soundvol},     {"buffer", config.audiobuffer},
    };
    EXPECT_EQ(fields.at(c.attribute), c.expected) << c.attribute << "=" << c.value;
  }
}

TEST_F(ConfigTest, AMissingPartStopsLoadingButKeepsWhatWasRead) {
  ydxtest::WriteFile("noaudio.xml", ConfigText({}, false));
  Yandorix.audiofrequency = 44100;
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "noaudio.xml", NULL), 0);
  EXPECT_EQ(Yandorix.mtfriendly, 5);
  EXPECT_EQ(Yandorix.renderer, 8);
  EXPECT_EQ(Yandorix.accel, 2);
  EXPECT_EQ(Yandorix.audiofrequency, 44100);

  ydxtest::WriteFile("gap.xml", ConfigText({{"colordepth", ""}}));
  sConfig config = Blank();
  config.window = 1;
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "gap.xml", &config), 0);
  EXPECT_EQ(config.resolutiony, 600);
  EXPECT_EQ(config.colordepth, 0);
  EXPECT_EQ(config.window, 1);   // after the gap: not read

  ydxtest::WriteFile("word.xml", ConfigText({{"accel", "fast"}}));
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "word.xml", &config), 0);
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "missing.xml", &config), 0);
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "", &config), 0);
  EXPECT_EQ(Yandorix.LoadConfig(NULL, NULL, &config), 0);
  EXPECT_EQ(Yandorix.SaveConfig(NULL, "", &config), 0);
  EXPECT_EQ(Yandorix.SaveConfig(NULL, NULL, &config), 0);
  EXPECT_EQ(OpenSlots(), 0);
}

TEST_F(ConfigTest, OptcoreSelectsTheCopyRoutine) {
  SelectCPUCore(0);
  void* (*plain)(void*, const void*, size_t) = Yandorix_memcpy;
  SelectCPUCore(14);
  void* (*chosen)(void*, const void*, size_t) = Yandorix_memcpy;
  ASSERT_NE(chosen, plain);
  SelectCPUCore(0);
  ydxtest::WriteFile("core.xml", ConfigText({{"mtfriendly", "5\" optcore=\"14"}}));
  sConfig config = Blank();
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "core.xml", &config), 1);
  EXPECT_EQ(Yandorix_memcpy, chosen);
  SelectCPUCore(0);
  ydxtest::WriteFile("nocore.xml", ConfigText({}));
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "nocore.xml", &config), 1);
  EXPECT_EQ(Yandorix_memcpy, plain);
}

TEST_F(ConfigTest, AnOptcoreKeyDoesNotChangeTheResult) {
  ydxtest::WriteFile("core.xml", ConfigText({{"mtfriendly", "5\" optcore=\"7"}}));
  sConfig config = Blank();
  EXPECT_EQ(Yandorix.LoadConfig(NULL, "core.xml", &config), 1);
  EXPECT_EQ(config.mtfriendly, 5);
}

namespace {
int failRenames(ydxplat::FaultOp op, const char*, size_t*) { return op == ydxplat::kOpRename ? EIO : 0; }
}  // namespace

TEST_F(ConfigTest, AFailedSaveIsReported) {
  ydxtest::WriteFile("setup.xml", "<kept/>");
  ydxplat::SetFaultHook(failRenames);
  EXPECT_EQ(Yandorix.SaveConfig(NULL, "setup.xml", NULL), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_EQ(ydxtest::ReadFile("setup.xml"), "<kept/>");
  EXPECT_EQ(OpenSlots(), 0);
}

TEST_F(ConfigTest, ConfigurationInAnArchiveBlock) {
  sConfig config = Blank();
  config.renderer = 16;
  config.audiofrequency = 22050;
  ASSERT_EQ(Yandorix.SaveConfig("game.dpf", "setup", &config), 1);
  ASSERT_EQ(Yandorix.SaveConfig("game.dpf", "setup", &config), 1);   // replaces the block
  sConfig back = Blank();
  ASSERT_EQ(Yandorix.LoadConfig("game.dpf", "setup", &back), 1);
  EXPECT_EQ(back.renderer, 16);
  EXPECT_EQ(back.audiofrequency, 22050);
  EXPECT_EQ(Yandorix.LoadConfig("game.dpf", "other", &back), 0);
  EXPECT_EQ(OpenSlots(), 0);
}

// A configuration not saved yet (a game's first start) is told at level 5 and leaves the values alone;
// one that is there but cannot be read stays an Error.
TEST_F(ConfigTest, OnlyAConfigurationThatIsThereButUnreadableIsAnError) {
  ydxtest::WriteFile("damaged.xml", "<setup><general");
  ydxtest::WriteFile("notdpf.dpf", "not an archive");
  ASSERT_EQ(Yandorix.SaveConfig("game.dpf", "setup", NULL), 1);
  const struct {
    const char *dpf, *name;
    bool error;
  } cases[] = {
      {NULL, "setup.xml", false},       {NULL, "cfg/setup.xml", false},   {"none.dpf", "setup", false},
      {"game.dpf", "other", false},     {NULL, "damaged.xml", true},      {"notdpf.dpf", "setup", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    size_t logged = ydxtest::LogText().size();
    sConfig config = Blank();
    config.resolutionx = 321;
    EXPECT_EQ(Yandorix.LoadConfig(c.dpf, c.name, &config), 0);
    EXPECT_EQ(config.resolutionx, 321);
    std::string lines = ydxtest::LogText().substr(logged);
    std::string info = " . [Yandorix.LoadConfig('" + std::string(c.dpf ? c.dpf : "") + "','" + c.name +
                       "')] Info: no configuration was saved here yet; the defaults are used.\n";
    EXPECT_EQ(lines.find("] Error") != std::string::npos, c.error) << lines;
    EXPECT_EQ(lines, c.error ? lines : info);
  }
  EXPECT_EQ(OpenSlots(), 0);
}
