#include "DPFTest.h"
TEST_F(DPFTest, Smoke) {
  int h = IStuffDPF->Create("a.dpf");
  ASSERT_GT(h, 0);
  EXPECT_EQ(ydxtest::ReadFile("a.dpf").size(), 520u);
  for (int mode : {0, 1, 2, 7})
    for (int size : {0, 5, 8, 9, 100000}) {
      std::string name = "b" + std::to_string(mode) + "_" + std::to_string(size);
      std::string data(size, 'x');
      for (int i = 0; i < size; i++) data[i] = (char)(i * 7 + mode);
      ASSERT_GE(Add(h, name.c_str(), "T", mode, data), 0) << name;
      EXPECT_EQ(Load(h, "T", name.c_str()), data) << name;
    }
  EXPECT_TRUE(CRCMatches("a.dpf"));
  IStuffDPF->Close(h);
  EXPECT_TRUE(CRCMatches("a.dpf"));
}
