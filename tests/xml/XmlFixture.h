// Shared set-up of the XML and configuration tests: the library initialised on the dummy drivers with
// its log in the test directory, and small helpers for the documents the tests build.
#pragma once
#include "YdxTest.h"
#include "01_Main.h"
#include <string>

class XmlTest : public YdxTest {
 protected:
  void SetUp() override {
    YdxTest::SetUp();
    ydxtest::StartLog();
    ASSERT_EQ(Yandorix.Init(SDL_INIT_TIMER), 1);
  }
  void TearDown() override {
    for (int h = 1; h <= 10; h++) Yandorix.XMLClose(h);
    Yandorix.Quit();
    YdxTest::TearDown();
  }
  static bool Logged(const std::string& text) { return ydxtest::LogText().find(text) != std::string::npos; }
  static int OpenText(const std::string& text, const char* file = "doc.xml") {
    ydxtest::WriteFile(file, text);
    return Yandorix.XMLOpen(file);
  }
  static int OpenSlots() {
    int used = 0;
    for (const sXMLSlot& slot : MainPrivate()->xmlslots) used += slot.document != nullptr;
    return used;
  }
};

