// Command lines nobody should type: blanks only, huge and odd numbers, '%' sequences, paths that
// cannot be written, endless lines. Exact answers for the typical ones, and a seeded sweep of random
// lines after which the console still answers and both windows stay on the screen.
#include "ConsoleTest.h"
#include <random>

namespace {

const char kSyntax[] = " Syntax error or command not found";

int Echo(std::vector<std::string>* words) {
  for (size_t i = 1; i < words->size(); ++i) Yandorix.ConPrint((char*)"%s", (*words)[i].c_str());
  return 1;
}

bool OnScreen(const SDL_Rect* r) {
  return r && r->x >= 0 && r->y >= 0 && r->w >= 1 && r->h >= 1 && r->x + r->w <= 640 && r->y + r->h <= 400;
}

}  // namespace

TEST_F(ConsoleTest, OddLinesGetExactAnswers) {
  ASSERT_EQ(Yandorix.ConAddCmdHandler((char*)"echo", (char*)"Prints its words", Echo), 1);
  std::string endless(20000, 'z');
  std::string manyWords;
  for (int i = 0; i < 3000; ++i) manyWords += "con ";
  const struct {
    std::string line;
    std::vector<std::string> answer;
  } cases[] = {
      {"echo %n%s %x %%d", {"%n%s", "%x", "%%d"}},
      {"   con   alpha   \t 100  \r\n", {" New alpha value 100 set"}},
      {"con alpha 0x7f", {" New alpha value 64 set"}},   // read as 0
      {"con alpha 2147483648", {" New alpha value 255 set"}},
      {"con color -2147483649 99999999999999999999 127", {" New background color (0,255,127) set"}},
      {"con features -1", {" New features 11111111111111111111111111111111 set"}},
      {"con features 99999999999999999999", {" New features 1111111111111111111111111111111 set"}},
      {"con move -32769 32768", {" New position (0,267) set"}},
      {"con resize 65536 65636", {" New size (640x133) set"}},
      {"con save " + std::string(300, 'p') + "/x", {" Save console text to '" + std::string(300, 'p') + "/x' file",
                                                    " Error: '" + std::string(300, 'p') + "/x' could not be written"}},
      {endless, {kSyntax}},
      {manyWords, {kSyntax}},
      {"\t\n\r\v\f ", {kSyntax}},
      {"debug remove %s%s%s%s", {" Watch '%s%s%s%s' not found"}},
  };
  Yandorix.ConCmd((char*)"con features 0");
  Mark();
  for (const auto& c : cases) {
    Yandorix.ConCmd((char*)c.line.c_str());
    std::vector<std::string> expected = c.answer;
    expected.push_back("");
    EXPECT_EQ(Since(), expected) << "after a line of " << c.line.size() << " characters: " << c.line.substr(0, 60);
  }
  Yandorix.ConPrint((char*)"%s", endless.c_str());
  EXPECT_EQ(Lines().back(), endless);   // long printed lines are kept whole
}

TEST_F(ConsoleTest, RandomLinesNeverBreakTheConsole) {
  ASSERT_EQ(Yandorix.ConAddCmdHandler((char*)"echo", (char*)"Prints its words", Echo), 1);
  int watched = 1;
  double real = 0.5;
  Yandorix.DwAddWatch((char*)"w", &watched, &real);
  Yandorix.ConCmd((char*)"debug enable 1");
  const std::vector<std::string> words = {
      "con", "debug", "help", "echo", "alpha", "clear", "color", "features", "hide", "show", "history", "move",
      "resize", "save", "enable", "list", "remove", "w", "0", "-1", "1", "64", "150", "255", "300", "99999",
      "99999999999999999999", "-99999999999999999999", "2147483648", "-32769", "1e9", "0x10", "12abc", "%s",
      "%n", "%x%x%x%x", "%%", "%999999999d", "r.txt", "missing-dir/x.txt", "/nonexistent-dir/y", "~", "\"",
  };
  const std::vector<std::string> blanks = {" ", "\t", "  \t ", "\n", "\r", "   "};
  std::mt19937 random(20240229u);
  for (int round = 0; round < 1500; ++round) {
    std::string line = random() % 4 == 0 ? blanks[random() % blanks.size()] : "";
    int count = (int)(random() % 7);
    for (int i = 0; i < count; ++i) {
      if (i > 0 || random() % 2) line += blanks[random() % blanks.size()];
      line += words[random() % words.size()];
    }
    if (random() % 3 == 0) line += blanks[random() % blanks.size()];
    Yandorix.ConCmd((char*)line.c_str());
    if (round % 50 == 49) {
      std::vector<std::string> lines = Lines();
      ASSERT_GE(lines.size(), 2u);
      EXPECT_EQ(lines[lines.size() - 1], "") << "after '" << line << "'";
      EXPECT_TRUE(OnScreen(Yandorix.ConGetRect()));
      EXPECT_TRUE(OnScreen(Yandorix.DwGetRect()));
      EXPECT_GE(Yandorix.ConGetAlpha(), 64);
      Yandorix.ConCmd((char*)"con clear");
      Yandorix.ConCmd((char*)"debug enable 1");
    }
  }
  // Still answering as before.
  Yandorix.ConCmd((char*)"con features 0");
  Mark();
  Yandorix.ConCmd((char*)"con features");
  EXPECT_EQ(Since(), (std::vector<std::string>{" Current features: 0", ""}));
}
