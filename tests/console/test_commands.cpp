// The console's command language seen from outside: every "help", "con" and "debug" answer byte for
// byte (read back with "con save"), with huge numbers, '%' sequences, blanks and unwritable paths among
// them; application commands with their words, refused registrations, clearing and titles, saved files.
#include "ConsoleTest.h"
#include <sys/stat.h>

namespace {

const char kSyntax[] = " Syntax error or command not found";

const std::vector<std::string> kConUsage = {
    " usage: con <parameter> [value]",
    "  <alpha> [64 to 255] - Adjust the alpha value of the console",
    "  <clear> - Clear the console",
    "  <color> R G B - Set the console background color",
    "  <features> [value] - Get current features or set new ones",
    "  <hide> - Hide the console",
    "  <history> clear|save [filename] - Clear the command history or save them to the filename",
    "  <move> x y - Move the console to (x,y). Negative value to preserve current value",
    "  <resize> w h - Resize the console to (w,h). Negative value to preserve current value",
    "  <save> filename - Save the console text to the filename",
};

const std::vector<std::string> kDebugUsage = {
    " usage: debug <parameter> [value]",
    "  <alpha> [64 to 255] - Adjust the alpha value of the console",
    "  <color> R G B - Set the debug window background color",
    "  <enable> [0]|[1] - Enable or disable the debug window",
    "  <hide> - Hide the debug window",
    "  <list> - List all watches and its values",
    "  <move> x y - Move the debug window to (x,y). Negative value to preserve current value",
    "  <remove> watch - Remove a watch",
    "  <resize> w h - Resize the debug window to (w,h). Negative value to preserve current value",
    "  <show> - Show the debug window",
};

struct Exchange {
  std::string line;
  std::vector<std::string> answer;   // the lines printed, before the closing empty line
};

// Run in this order: each answer depends on what the lines before it changed. The screen is 640 x 400;
// the console starts at (0,0) 640 x 133, the debug window at (213,200) 213 x 133.
const std::vector<Exchange>& Conversation() {
  static const std::vector<Exchange> exchanges = {
      {"help",
       {" debug - Debug window control commands", " con - Console control commands",
        " help - List all registered commands"}},
      {"help  me   now",
       {" debug - Debug window control commands", " con - Console control commands",
        " help - List all registered commands"}},
      {"con", kConUsage},
      {"con alpha", {" Current alpha value: 128"}},
      {"con alpha 10", {" New alpha value 64 set"}},
      {"con alpha 300", {" New alpha value 255 set"}},
      {"con alpha 99999999999999999999", {" New alpha value 255 set"}},
      {"con alpha -99999999999999999999", {" New alpha value 64 set"}},
      {"con alpha 200x", {" New alpha value 200 set"}},
      {"con color", {" Current background color value (0x00c0)"}},
      {"con color 1 2", {" Current background color value (0x00c0)"}},
      {"con color 300 -5 128", {" New background color (255,0,128) set"}},
      {"con color", {" Current background color value (0x00ff0080)"}},
      {"con features", {" Current features: 0"}},
      {"con features 5", {" New features 101 set"}},
      {"con features", {" Current features: 101"}},
      {"con features 0", {" New features 0 set"}},
      {"con move", {" Current console position (0,0)"}},
      {"con move -1 40", {" New position (0,40) set"}},
      {"con move 10000 10000", {" New position (0,267) set"}},
      {"con move 99999999999 -99999999999", {" New position (0,267) set"}},
      {"con move 0 0", {" New position (0,0) set"}},
      {"con resize", {" Current console size (640x133)"}},
      {"con resize 100 500", {" New size (640x400) set"}},
      {"con resize 200 99", {" New size (200x400) set"}},
      {"con resize 640 133", {" New size (640x133) set"}},
      {"con resize 99999 -99999", {" New size (640x133) set"}},
      {"con history", {kSyntax}},
      {"con history save", {kSyntax}},
      {"con history bogus", {kSyntax}},
      {"con history clear", {" Console history cleared"}},
      {"con save", {kSyntax}},
      {"con hide", {}},
      {"con bogus", {kSyntax}},
      {"con ALPHA", {kSyntax}},
      {"con %s%n %x", {kSyntax}},
      {"debug", kDebugUsage},
      {"debug enable", {" Debug window is disabled"}},
      {"debug alpha 10", {" New alpha value 128 set"}},   // a disabled window keeps its settings
      {"debug enable 1", {" Debug window enabled"}},
      {"debug enable", {" Debug window is enabled"}},
      {"debug alpha", {" Current alpha value: 128"}},
      {"debug alpha 10", {" New alpha value 64 set"}},
      {"debug color", {" Current background color value (0x00c000)"}},
      {"debug color 1 2 3", {" New background color (1,2,3) set"}},
      {"debug color", {" Current background color value (0x0010203)"}},
      {"debug move", {" Current debug position (213,200)"}},
      {"debug move 10000 -1", {" New position (427,200) set"}},
      {"debug move -5 -5", {" New position (427,200) set"}},
      {"debug resize", {" Current debug size (213x133)"}},
      {"debug resize 150 99", {" New size (150x133) set"}},
      {"debug resize 1000 1000", {" New size (213x200) set"}},
      {"debug list", {" hp 7", " speed 1.5000", " both 2 0.2500"}},
      {"debug remove", {kSyntax}},
      {"debug remove nope", {" Watch 'nope' not found"}},
      {"debug remove speed", {" Watch 'speed' removed"}},
      {"debug list", {" hp 7", " both 2 0.2500"}},
      {"debug show", {}},
      {"debug hide", {}},
      {"debug enable 0", {" Debug window disabled"}},
      {"debug enable -3", {" Debug window disabled"}},
      {"debug bogus", {kSyntax}},
      {"nosuch thing", {kSyntax}},
      {" \t  ", {kSyntax}},
      {"", {kSyntax}},
      {"con alpha 0x7f", {" New alpha value 64 set"}},   // read as 0
      {"con color -2147483649 99999999999999999999 127", {" New background color (0,255,127) set"}},
      {"con features -1", {" New features 11111111111111111111111111111111 set"}},
      {"con features 99999999999999999999", {" New features 1111111111111111111111111111111 set"}},
      {"con features 0", {" New features 0 set"}},
      {"\t\n\r\v\f   con   alpha   \t 100  \r\n", {" New alpha value 100 set"}},
      {std::string(20000, 'z'), {kSyntax}},
      {"con save %s%n.txt", {" Save console text to '%s%n.txt' file"}},
      {"con save /nonexistent-dir/x.txt", {" Save console text to '/nonexistent-dir/x.txt' file"}},
      {"con history save /nonexistent-dir/h.txt", {" Save history to '/nonexistent-dir/h.txt' file"}},
  };
  return exchanges;
}

int lastWordCount = 0;
std::vector<std::string> lastWords;
int Give(std::vector<std::string>* words) {
  lastWords = *words;
  lastWordCount++;
  return words->size() >= 2 ? 1 : 0;   // "give" alone is refused
}
int Grow(std::vector<std::string>*) {
  // Registering while the table is searched must not disturb the running command.
  static const char* names[] = {"g1", "g2", "g3", "g4", "g5", "g6", "g7", "g8", "g9", "g10"};
  for (const char* name : names) Yandorix.ConAddCmdHandler((char*)name, (char*)"more", Grow);
  return 1;
}

}  // namespace

TEST_F(ConsoleTest, EveryCommandAnswersExactly) {
  int hp = 7, both = 2;
  double speed = 1.5, share = 0.25;
  ASSERT_EQ(Yandorix.DwAddWatch((char*)"hp", &hp, NULL), 1);
  ASSERT_EQ(Yandorix.DwAddWatch((char*)"speed", NULL, &speed), 1);
  ASSERT_EQ(Yandorix.DwAddWatch((char*)"both", &both, &share), 1);
  EXPECT_EQ(Lines(), (std::vector<std::string>{" Console for Yandorix SDK initialized", ""}));
  Mark();
  for (const Exchange& exchange : Conversation()) {
    Yandorix.ConCmd((char*)exchange.line.c_str());
    std::vector<std::string> expected = exchange.answer;
    expected.push_back("");
    EXPECT_EQ(Since(), expected) << "after the line '" << exchange.line.substr(0, 80) << "'";
  }
  // What the lines changed beyond their answers.
  EXPECT_EQ(Yandorix.ConGetAlpha(), 100);
  EXPECT_EQ(Yandorix.ConisVisible(), 0);
  EXPECT_EQ(Yandorix.DwisEnabled(), 0);
  EXPECT_EQ(Yandorix.DwGetAlpha(), 64);
  EXPECT_TRUE(ydxtest::FileExists("%s%n.txt"));
  EXPECT_FALSE(ydxtest::FileExists("/nonexistent-dir/x.txt"));
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Console] Error: the file '/nonexistent-dir/x.txt' could not be written.\n"));
}

TEST_F(ConsoleTest, ApplicationCommandsGetTheirWordsAndNamesAreUnique) {
  lastWordCount = 0;
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"give", (char*)"Give an item", Give), 1);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"give", (char*)"again", Give), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"con", (char*)"mine", Give), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler(NULL, (char*)"x", Give), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"x", NULL, Give), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"x", (char*)"x", NULL), 0);
  EXPECT_EQ(Yandorix.ConAddCmdHandler((char*)"grow", (char*)"Registers more", Grow), 1);
  Mark();
  Yandorix.ConCmd((char*)"  give\tsword \n 3  %n ");
  EXPECT_EQ(lastWords, (std::vector<std::string>{"give", "sword", "3", "%n"}));
  Yandorix.ConCmd((char*)"give");         // the handler refuses: the console says so
  Yandorix.ConCmd((char*)"Give sword");   // names are compared exactly
  Yandorix.ConCmd((char*)"grow");
  EXPECT_EQ(lastWordCount, 2);
  EXPECT_EQ(Since(), (std::vector<std::string>{"", kSyntax, "", kSyntax, "", ""}));
  Yandorix.ConCmd((char*)"help");
  std::vector<std::string> help = Since();
  ASSERT_EQ(help.size(), 16u);
  EXPECT_EQ(help[0], " g10 - more");   // newest first
  EXPECT_EQ(help[10], " grow - Registers more");
  EXPECT_EQ(help[11], " give - Give an item");
  Yandorix.ConDisable();   // a disabled console runs nothing
  Yandorix.ConCmd((char*)"give shield");
  Yandorix.ConCmd(NULL);
  EXPECT_EQ(lastWordCount, 2);
}

TEST_F(ConsoleTest, ClearKeepsTheTitleThatEnableOrTheApplicationGave) {
  Yandorix.ConPrint((char*)"one %d", 1);
  Yandorix.ConTitle((char*)"After enable");
  Yandorix.ConTitle(NULL);   // keeps the title
  Yandorix.ConCmd((char*)"con clear");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"After enable", ""}));
  OpenScreen(640, 400);   // a new console, with nothing of the old one
  Yandorix.ConTitle((char*)"Before %s enable");
  Yandorix.ConEnable();
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Before %s enable", ""}));
}

TEST_F(ConsoleTest, SavedFilesEndEveryLineWithALineFeedAndReplaceWhatWasThere) {
  ASSERT_TRUE(ydxtest::WriteFile("out.txt", std::string(5000, 'x')));
  Yandorix.ConPrint((char*)"%s", "two\nlines");   // one console line holding a line break
  Yandorix.ConCmd((char*)"con save out.txt");
  EXPECT_EQ(ydxtest::ReadFile("out.txt"), " Console for Yandorix SDK initialized\n\ntwo\nlines\n");
  ASSERT_EQ(mkdir("adir", 0755), 0);
  Yandorix.ConCmd((char*)"con save adir");   // a directory is not replaced by the text
  std::vector<std::string> lines = Lines();
  EXPECT_EQ(lines[lines.size() - 2], " Save console text to 'adir' file");
  EXPECT_TRUE(Contains(ydxtest::LogText(), " . [Console] Error: the file 'adir' could not be written.\n"));
}
