// A seeded sweep of random command lines (blanks, huge and odd numbers, '%' sequences, paths that cannot
// be written) after which the console still answers exactly and both windows stay on the screen. The
// exact answers to such lines are in the command table of test_commands.cpp.
#include "ConsoleTest.h"
#include <random>

namespace {

int Echo(std::vector<std::string>* words) {
  for (size_t i = 1; i < words->size(); ++i) Yandorix.ConPrint((char*)"%s", (*words)[i].c_str());
  return 1;
}

bool OnScreen(const SDL_Rect* r) {
  return r && r->x >= 0 && r->y >= 0 && r->w >= 1 && r->h >= 1 && r->x + r->w <= 640 && r->y + r->h <= 400;
}

}  // namespace

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
