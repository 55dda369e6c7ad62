// XML documents in plain files: the handle table, the cursor, editing, saving and loading back, and
// the refusals that keep hostile or unwritable input from crashing a game or corrupting its files.
#include "XmlFixture.h"
#include "00_Platform.h"
#include "15_XML.h"
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

namespace {
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n";
}

TEST_F(XmlTest, TenDocumentsOpenTheEleventhIsRefusedAndAFreedHandleIsReused) {
  ydxtest::WriteFile("doc.xml", "<a/>");
  for (int i = 1; i <= 10; i++) ASSERT_EQ(i % 2 ? Yandorix.XMLCreate("r") : Yandorix.XMLOpen("doc.xml"), i);
  EXPECT_EQ(Yandorix.XMLCreate("r"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLCreate()] Error: reached maximum limit of XML opened(10)\n"));
  EXPECT_EQ(Yandorix.XMLOpen("doc.xml"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('doc.xml')] Error: reached maximum limit of XML opened(10)\n"));

  Yandorix.XMLClose(4);
  EXPECT_EQ(Yandorix.XMLNodeFirst(4), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLNodeFirst(4)] Error: invalid XML handle.\n"));
  EXPECT_EQ(Yandorix.XMLOpen("doc.xml"), 4);
  EXPECT_EQ(Yandorix.XMLNodeFirst(4), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(4), "a");
}

TEST_F(XmlTest, EveryOperationRefusesABadHandle) {
  for (int h : {0, 11, -1, 3}) {
    EXPECT_EQ(Yandorix.XMLNodeFirst(h), 0);
    EXPECT_EQ(Yandorix.XMLNodePointTo(h, 1, "a"), 0);
    EXPECT_EQ(Yandorix.XMLNodeCreate(h, "a"), 0);
    EXPECT_EQ(Yandorix.XMLAttributeSet(h, "a", 1), 0);
    EXPECT_EQ(Yandorix.XMLTextGet(h), nullptr);
    EXPECT_EQ(Yandorix.XMLSave(h, "out.xml"), 0);
    EXPECT_EQ(Yandorix.XMLSave(h, "out.dpf", "block"), 0);
    Yandorix.XMLClose(h);   // ignored
  }
  EXPECT_TRUE(Logged(" . [Yandorix.XMLAttributeSet(11)] Error: invalid XML handle.\n"));
  EXPECT_TRUE(Logged(" . [Yandorix.XMLSave(0)] Error: invalid XML handle.\n"));
  EXPECT_FALSE(ydxtest::FileExists("out.xml"));
  EXPECT_FALSE(ydxtest::FileExists("out.dpf"));
}

TEST_F(XmlTest, ADocumentThatFailsToParseKeepsNoSlot) {
  for (int i = 0; i < 9; i++) ASSERT_GT(Yandorix.XMLCreate("r"), 0);
  EXPECT_EQ(OpenText("<a><b></a>", "bad.xml"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('bad.xml')] Error: line 1, column 7: the end tag </a> does not close <b>.\n"));
  EXPECT_EQ(Yandorix.XMLOpen("missing.xml"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('missing.xml')] Error: Failed to open file\n"));
  EXPECT_EQ(OpenText("", "empty.xml"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('empty.xml')] Error: line 1, column 1: the document has no root element.\n"));
  EXPECT_EQ(OpenSlots(), 9);
  EXPECT_EQ(OpenText("<a/>"), 10);
}

TEST_F(XmlTest, CreatedDocumentSavesWithItsDeclarationAndReadsBackAsBuilt) {
  int h = Yandorix.XMLCreate("setup");
  ASSERT_GT(h, 0);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "setup");
  ASSERT_EQ(Yandorix.XMLCommentSet(h, " made by a test "), 1);
  ASSERT_EQ(Yandorix.XMLNodeCreate(h, "level"), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "name", "Caves \"deep\" & <dark>"), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "width", -640), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "speed", 0.1), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "scale", 0.3f), 1);
  EXPECT_EQ(Yandorix.XMLTextSet(h, "line one\nline two"), 1);
  ASSERT_EQ(Yandorix.XMLNodeCreate(h, "tile"), 1);
  ASSERT_EQ(Yandorix.XMLNodeParent(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeParent(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeCreate(h, "empty"), 1);
  ASSERT_EQ(Yandorix.XMLSave(h, "saved/levels/one.xml"), 1);

  std::string file = ydxtest::ReadFile("saved/levels/one.xml");
  EXPECT_EQ(file.compare(0, strlen(kDeclaration), kDeclaration), 0) << file;

  int back = Yandorix.XMLOpen("saved/levels/one.xml");
  ASSERT_GT(back, 0);
  EXPECT_EQ(Yandorix.XMLNodeChild(back), 0);   // nothing pointed yet
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  EXPECT_STREQ(Yandorix.XMLCommentGet(back), " made by a test ");
  ASSERT_EQ(Yandorix.XMLNodePointTo(back, 2, "setup", "level"), 1);
  const char* name = nullptr;
  int width = 0;
  double speed = 0, scale = 0;
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "name", &name), 1);
  EXPECT_STREQ(name, "Caves \"deep\" & <dark>");
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "width", &width), 1);
  EXPECT_EQ(width, -640);
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "speed", &speed), 1);
  EXPECT_EQ(speed, 0.1);
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "scale", &scale), 1);
  EXPECT_EQ((float)scale, 0.3f);
  EXPECT_STREQ(Yandorix.XMLTextGet(back), "line one\nline two");
  ASSERT_EQ(Yandorix.XMLNodeChild(back), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(back), "tile");
  ASSERT_EQ(Yandorix.XMLNodePointTo(back, 2, "setup", "empty"), 1);
  EXPECT_EQ(Yandorix.XMLTextGet(back), nullptr);
}

TEST_F(XmlTest, NumbersReadBackExactly) {
  int h = Yandorix.XMLCreate("n");
  const double doubles[] = {1.0 / 3, 0.1, -2.5e17, 4.9e-324, 1.7976931348623157e308, 123456789.123456789};
  const float floats[] = {1.0f / 3, 0.1f, 16777217.0f, 1e-45f};
  char name[16];
  for (size_t i = 0; i < sizeof doubles / sizeof *doubles; i++) {
    snprintf(name, sizeof name, "d%zu", i);
    ASSERT_EQ(Yandorix.XMLAttributeSet(h, name, doubles[i]), 1);
  }
  for (size_t i = 0; i < sizeof floats / sizeof *floats; i++) {
    snprintf(name, sizeof name, "f%zu", i);
    ASSERT_EQ(Yandorix.XMLAttributeSet(h, name, floats[i]), 1);
  }
  Yandorix.XMLAttributeSet(h, "low", INT_MIN);
  Yandorix.XMLAttributeSet(h, "high", INT_MAX);
  ASSERT_EQ(Yandorix.XMLSave(h, "n.xml"), 1);
  int back = Yandorix.XMLOpen("n.xml");
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  double value;
  for (size_t i = 0; i < sizeof doubles / sizeof *doubles; i++) {
    snprintf(name, sizeof name, "d%zu", i);
    ASSERT_EQ(Yandorix.XMLAttributeGet(back, name, &value), 1);
    EXPECT_EQ(value, doubles[i]) << name;
  }
  for (size_t i = 0; i < sizeof floats / sizeof *floats; i++) {
    snprintf(name, sizeof name, "f%zu", i);
    ASSERT_EQ(Yandorix.XMLAttributeGet(back, name, &value), 1);
    EXPECT_EQ((float)value, floats[i]) << name;
  }
  int number;
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "low", &number), 1);
  EXPECT_EQ(number, INT_MIN);
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "high", &number), 1);
  EXPECT_EQ(number, INT_MAX);
}

TEST_F(XmlTest, NumbersAreWrittenAsPeopleWriteThem) {
  int h = Yandorix.XMLCreate("n");
  const struct {
    double value;
    const char* text;
  } doubles[] = {{0.1, "0.1"}, {0.5, "0.5"}, {1e20, "1e+20"}, {-2.0, "-2"}, {100.0, "100"},
                 {1.0 / 3, "0.3333333333333333"}, {0.1 + 0.2, "0.30000000000000004"}};
  char* text = NULL;
  for (const auto& entry : doubles) {
    ASSERT_EQ(Yandorix.XMLAttributeSet(h, "v", entry.value), 1);
    ASSERT_EQ(Yandorix.XMLAttributeGet(h, "v", &text), 1);
    EXPECT_STREQ(text, entry.text);
  }
  // Floats take the digits a float needs, not those of the double it widens to.
  ASSERT_EQ(Yandorix.XMLAttributeSet(h, "v", 0.1f), 1);
  ASSERT_EQ(Yandorix.XMLAttributeGet(h, "v", &text), 1);
  EXPECT_STREQ(text, "0.1");
  ASSERT_EQ(Yandorix.XMLAttributeSet(h, "v", 12.345f), 1);
  ASSERT_EQ(Yandorix.XMLAttributeGet(h, "v", &text), 1);
  EXPECT_STREQ(text, "12.345");
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "absent", &text), 0);
  EXPECT_EQ(text, nullptr);
}

TEST_F(XmlTest, IntegerAttributesReadAsFarAsTheirDigitsAndRefuseWhatDoesNotFit) {
  int h = OpenText("<a p='12abc' q='abc' r='2147483648' s='-2147483649' t=' -7' u='99999999999999999999'/>");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  int value = 5;
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "p", &value), 1);
  EXPECT_EQ(value, 12);
  value = 5;
  for (const char* refused : {"q", "r", "s", "u", "missing"}) {
    EXPECT_EQ(Yandorix.XMLAttributeGet(h, refused, &value), 0) << refused;
    EXPECT_EQ(value, 5) << refused;
  }
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "t", &value), 1);
  EXPECT_EQ(value, -7);
  double real;
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "q", &real), 0);
  const char* text = "unchanged";
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "missing", &text), 0);
  EXPECT_EQ(text, nullptr);
}

TEST_F(XmlTest, CursorWalksElementsOnly) {
  int h = OpenText("<r><a/><!--between--><b/>text<c><d/></c></r>");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_EQ(Yandorix.XMLNodeParent(h), 0);   // the root's parent is the document
  EXPECT_EQ(Yandorix.XMLNodeNext(h), 0);
  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "a");
  EXPECT_EQ(Yandorix.XMLNodePrev(h), 0);
  ASSERT_EQ(Yandorix.XMLNodeNext(h), 1);   // over the comment
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "b");
  EXPECT_EQ(Yandorix.XMLNodePrev(h), 0);   // the comment stops it
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "b");
  ASSERT_EQ(Yandorix.XMLNodeNext(h), 1);   // over the text
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "c");
  EXPECT_EQ(Yandorix.XMLNodePrev(h), 0);
  EXPECT_EQ(Yandorix.XMLNodeNext(h), 0);
  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  EXPECT_EQ(Yandorix.XMLNodeChild(h), 0);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "d");
  ASSERT_EQ(Yandorix.XMLNodeParent(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "c");
  int ab = OpenText("<r><a/><b/></r>", "ab.xml");
  ASSERT_EQ(Yandorix.XMLNodePointTo(ab, 2, "r", "b"), 1);
  ASSERT_EQ(Yandorix.XMLNodePrev(ab), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(ab), "a");
}

TEST_F(XmlTest, PointToFollowsNamesOrLeavesTheCursorWhereItWas) {
  int h = OpenText("<a><x/><b><c/></b><b id='second'/></a>");
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, 2, "a", "missing"), 0);
  EXPECT_EQ(Yandorix.XMLNodeGetName(h), nullptr);   // still nothing pointed
  EXPECT_TRUE(Logged(" . [Yandorix.XMLNodeGetName(1)] Error: there is not an element pointed.\n"));
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "a", "b"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLAttributeSet(1)] Error: there is not an element pointed.\n"));
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 3, "a", "b", "c"), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "c");
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, 2, "b", "c"), 0);   // the first name is the root's
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, 0, "a"), 0);
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, -1, "a"), 0);
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, 1, nullptr), 0);
  EXPECT_EQ(Yandorix.XMLNodePointTo(h, 2, "a", nullptr), 0);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "c");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 2, "a", "b"), 1);
  const char* id = "x";
  EXPECT_EQ(Yandorix.XMLAttributeGet(h, "id", &id), 0);   // the first "b", not the second
}

TEST_F(XmlTest, RemovingAnElementMovesTheCursorUpAndForgetsWhatWasStoredInside) {
  int h = OpenText("<r><a><b/></a><keep/></r>");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 3, "r", "a", "b"), 1);
  ASSERT_EQ(Yandorix.XMLNodeStore(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeParent(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeRemove(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "r");
  EXPECT_EQ(Yandorix.XMLNodeRestore(h), 0);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "r");
  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "keep");

  // A stored element outside the removed branch stays.
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 1, "r"), 1);
  ASSERT_EQ(Yandorix.XMLNodeStore(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeRemove(h), 1);
  ASSERT_EQ(Yandorix.XMLNodeRestore(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "r");

  // Without the root nothing is pointed, and there is no XML document to write.
  ASSERT_EQ(Yandorix.XMLNodeRemove(h), 1);
  EXPECT_EQ(Yandorix.XMLNodeRemove(h), 0);
  EXPECT_EQ(Yandorix.XMLNodeRestore(h), 0);
  EXPECT_EQ(Yandorix.XMLNodeFirst(h), 0);
  EXPECT_EQ(Yandorix.XMLSave(h, "rootless.xml"), 0);
  EXPECT_FALSE(ydxtest::FileExists("rootless.xml"));
}

TEST_F(XmlTest, TextAndCommentsWorkOnTheFirstOfTheirKind) {
  int h = OpenText("<r><!--first--><e/>one<!--second-->two</r>");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "one");
  EXPECT_STREQ(Yandorix.XMLCommentGet(h), "first");
  ASSERT_EQ(Yandorix.XMLTextSet(h, "+"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "one+");
  ASSERT_EQ(Yandorix.XMLTextRemove(h), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "two");
  ASSERT_EQ(Yandorix.XMLCommentRemove(h), 1);
  EXPECT_STREQ(Yandorix.XMLCommentGet(h), "second");
  ASSERT_EQ(Yandorix.XMLCommentSet(h, "new"), 1);
  EXPECT_STREQ(Yandorix.XMLCommentGet(h), "new");   // before the first child

  ASSERT_EQ(Yandorix.XMLNodeChild(h), 1);
  EXPECT_EQ(Yandorix.XMLTextGet(h), nullptr);
  EXPECT_EQ(Yandorix.XMLTextRemove(h), 0);
  EXPECT_EQ(Yandorix.XMLCommentGet(h), nullptr);
  EXPECT_EQ(Yandorix.XMLCommentRemove(h), 0);
  ASSERT_EQ(Yandorix.XMLTextSet(h, "joined "), 1);
  ASSERT_EQ(Yandorix.XMLTextSet(h, "twice"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "joined twice");
  ASSERT_EQ(Yandorix.XMLCommentSet(h, "only"), 1);
  EXPECT_STREQ(Yandorix.XMLCommentGet(h), "only");
}

TEST_F(XmlTest, NamesAndTextsThatWouldBreakTheFileAreRefused) {
  int h = Yandorix.XMLCreate("r");
  for (const char* name : {"a b", "1a", "-a", "a<b", "a>b", "a\"b", "a=b", "", "a/b", "\xEF\xBB\xBF" "a", "a\xC3"}) {
    EXPECT_EQ(Yandorix.XMLNodeCreate(h, name), 0) << name;
    EXPECT_EQ(Yandorix.XMLNodeRename(h, name), 0) << name;
    EXPECT_EQ(Yandorix.XMLAttributeSet(h, name, "v"), 0) << name;
  }
  EXPECT_TRUE(Logged(" . [Yandorix.XMLNodeCreate(1)] Error: 'a b' is not a valid XML name.\n"));
  for (const char* comment : {"a--b", "ends-", "-->"}) EXPECT_EQ(Yandorix.XMLCommentSet(h, comment), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLCommentSet(1)] Error: 'a--b' holds \"--\" or ends in '-'.\n"));
  for (const char* text : {"bell\x07", "caf\xE9", "\xEF\xBF\xBF", "\xED\xA0\x80"}) {
    EXPECT_EQ(Yandorix.XMLTextSet(h, text), 0) << text;
    EXPECT_EQ(Yandorix.XMLAttributeSet(h, "v", text), 0) << text;
  }
  EXPECT_EQ(Yandorix.XMLCreate("bad name"), 0);
  EXPECT_EQ(OpenSlots(), 1);

  // What is accepted loads back.
  EXPECT_EQ(Yandorix.XMLNodeCreate(h, "_ok-1.x:y"), 1);
  EXPECT_EQ(Yandorix.XMLNodeRename(h, "caf\xC3\xA9"), 1);
  EXPECT_EQ(Yandorix.XMLTextSet(h, "caf\xC3\xA9 \xE2\x82\xAC"), 1);
  EXPECT_EQ(Yandorix.XMLCommentSet(h, "- a - b -x"), 1);
  // Text that looks like a character reference is text: it comes back as it was written.
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "copy", "&#xA9;"), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "markup", "&#x</r><evil/>"), 1);
  ASSERT_EQ(Yandorix.XMLSave(h, "names.xml"), 1);
  int back = Yandorix.XMLOpen("names.xml");
  ASSERT_EQ(Yandorix.XMLNodePointTo(back, 2, "r", "caf\xC3\xA9"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(back), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_STREQ(Yandorix.XMLCommentGet(back), "- a - b -x");
  const char* value = nullptr;
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "copy", &value), 1);
  EXPECT_STREQ(value, "&#xA9;");
  EXPECT_EQ(Yandorix.XMLAttributeGet(back, "markup", &value), 1);
  EXPECT_STREQ(value, "&#x</r><evil/>");
}

TEST_F(XmlTest, CdataIsNotClosedByAddedText) {
  int h = OpenText("<r><![CDATA[a<b]]]></r>");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "a<b]");
  EXPECT_EQ(Yandorix.XMLTextSet(h, "]><evil/>"), 0);
  ASSERT_EQ(Yandorix.XMLTextSet(h, "&more"), 1);
  ASSERT_EQ(Yandorix.XMLSave(h, "cdata.xml"), 1);
  int back = Yandorix.XMLOpen("cdata.xml");
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(back), "a<b]&more");
  EXPECT_EQ(Yandorix.XMLNodeChild(back), 0);
}

// Inside the library text is UTF-8: a Latin-1 document is read as UTF-8, takes UTF-8 and is saved so.
TEST_F(XmlTest, LatinTextIsAcceptedInALatinDocument) {
  int h = OpenText("<?xml version='1.0' encoding='ISO-8859-1'?><r n='caf\xE9'/>");
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_EQ(Yandorix.XMLTextSet(h, "se\xF1or"), 0);
  ASSERT_EQ(Yandorix.XMLTextSet(h, "se\xC3\xB1or"), 1);
  ASSERT_EQ(Yandorix.XMLSave(h, "latin.xml"), 1);
  EXPECT_EQ(ydxtest::ReadFile("latin.xml").find("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>"), 0u);
  int back = Yandorix.XMLOpen("latin.xml");
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(back), "se\xC3\xB1or");
  const char* n = nullptr;
  ASSERT_EQ(Yandorix.XMLAttributeGet(back, "n", &n), 1);
  EXPECT_STREQ(n, "caf\xC3\xA9");
}

TEST_F(XmlTest, DeeplyNestedDocumentsAreRefusedBeforeParsing) {
  std::string deep;
  for (int i = 0; i < 100000; i++) deep += "<a>";
  EXPECT_EQ(OpenText(deep, "deep.xml"), 0);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('deep.xml')] Error: line 1, column 769: elements are nested deeper than 256 "
                     "levels.\n"));

  std::string limit, over;
  for (int i = 0; i < 256; i++) limit += "<a>";
  for (int i = 0; i < 256; i++) limit += "</a>";
  over = "<top>" + limit + "</top>";
  EXPECT_EQ(OpenText(over, "over.xml"), 0);
  int h = OpenText(limit, "limit.xml");
  ASSERT_GT(h, 0);
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  while (Yandorix.XMLNodeChild(h)) {
  }
  EXPECT_EQ(Yandorix.XMLNodeCreate(h, "b"), 0);   // would make a document nobody could open
  EXPECT_TRUE(Logged(" . [Yandorix.XMLNodeCreate(1)] Error: elements cannot be nested deeper than 256 levels.\n"));
  ASSERT_EQ(Yandorix.XMLNodeParent(h), 1);
  EXPECT_EQ(Yandorix.XMLNodeCreate(h, "b"), 1);
}

TEST_F(XmlTest, ElementsWithHundredsOfThousandsOfAttributesAreRefused) {
  std::string wide = "<a";
  for (int i = 0; i < 300000; i++) wide += " a" + std::to_string(i) + "=''";
  EXPECT_EQ(OpenText(wide + "/>", "wide.xml"), 0);   // would keep the parser busy for minutes
  EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('wide.xml')] Error: line 1, column 1942: an element has more than 256 "
                     "attributes.\n"));
  int h = Yandorix.XMLCreate("r");
  for (int i = 0; i < 256; i++) ASSERT_EQ(Yandorix.XMLAttributeSet(h, ("a" + std::to_string(i)).c_str(), i), 1);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "one_more", 1), 0);
  EXPECT_EQ(Yandorix.XMLAttributeSet(h, "a7", 8), 1);   // replacing is fine
  ASSERT_EQ(Yandorix.XMLSave(h, "full.xml"), 1);
  EXPECT_GT(Yandorix.XMLOpen("full.xml"), 0);
}

TEST_F(XmlTest, LineEndsAreNormalisedAndNulsMayOnlyEndTheFile) {
  int h = OpenText(std::string("<r v='a\r\nb\rc'>x</r>\0\n\0 ", 23));
  ASSERT_GT(h, 0);
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  const char* v = nullptr;
  ASSERT_EQ(Yandorix.XMLAttributeGet(h, "v", &v), 1);
  EXPECT_STREQ(v, "a b c");   // each line end one LF, read as a space in an attribute value
}

TEST_F(XmlTest, HandWrittenDocumentsLoad) {
  const char text[] =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE map>\n"
      "<!-- hand written -->\n"
      "<map version='1.0' width=\"3\">\n"
      "  <tileset name=\"ground &amp; walls\" firstgid=\"1\"/>\n"
      "  <layer name=\"caf\xC3\xA9\"><data encoding=\"csv\">\n1,2,3\n</data></layer>\n"
      "  <script><![CDATA[if (a < b) x();]]></script>\n"
      "  <ref>&#x41;&#66;&lt;</ref>\n"
      "</map>\n";
  int h = OpenText(text);
  ASSERT_GT(h, 0);
  ASSERT_EQ(Yandorix.XMLNodeFirst(h), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(h), "map");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 3, "map", "layer", "data"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "1,2,3");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 2, "map", "tileset"), 1);
  const char* name = nullptr;
  ASSERT_EQ(Yandorix.XMLAttributeGet(h, "name", &name), 1);
  EXPECT_STREQ(name, "ground & walls");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 2, "map", "script"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "if (a < b) x();");
  ASSERT_EQ(Yandorix.XMLNodePointTo(h, 2, "map", "ref"), 1);
  EXPECT_STREQ(Yandorix.XMLTextGet(h), "AB<");
}

namespace {
int failWrites(ydxplat::FaultOp op, const char*, size_t* length) {
  if (op != ydxplat::kOpWrite) return 0;
  *length /= 2;   // a short write: the disk filled up
  return 0;
}
}  // namespace

namespace {
// A type database in the shape of the shared MIME-info files: its grammar in an internal DTD subset,
// whose declarations hold '>' and comments, then the root with its entries.
const char kTypeDatabase[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE type-list [\n<!ELEMENT type-list (type)+>\n"
    "<!ATTLIST type-list xmlns CDATA #FIXED \"http://example.org/types\">\n"
    "<!-- the text that names a type --><!ELEMENT note (#PCDATA)>\n<!ELEMENT type (note+, pattern*)>\n"
    "<!ATTLIST type name CDATA #REQUIRED>\n<!ELEMENT pattern EMPTY>\n<!ATTLIST pattern text CDATA #REQUIRED>\n]>\n"
    "<type-list xmlns=\"http://example.org/types\">\n  <type name=\"image/x-tile\"><note>a tile</note>"
    "<pattern text=\"*.tile\"/></type>\n  <type name=\"audio/x-beep\"><note>a beep</note></type>\n</type-list>\n";
}  // namespace

// A document the reader cannot read whole, or not as written, is refused when it is opened, from a file
// or an archive block, with the place where the reading goes wrong: no handle ever stands for part of
// it, and no text is changed behind the game's back.
TEST_F(XmlTest, DocumentsTheReaderCannotReadWholeAreRefused) {
  const char kAmpersand[] = "an '&' that starts no entity reference (\"&amp;\" writes the character itself).\n";
  const struct {
    const char* file;
    std::string text;
    std::string reason;
  } cases[] = {
      {"types.xml", kTypeDatabase,
       "Error: line 2, column 21: the document has an internal DTD subset (<!DOCTYPE name [ ... ]>), which the XML "
       "reader cannot read.\n"},
      {"tail.xml", "<a>\n  <b/>\n</a>\n  trailing words", "Error: line 4, column 3: text after the root element.\n"},
      {"scores.xml", std::string("<?xml version=\"1.0\"?>\n<!-- saved -->\0\n<scores><s v='1'/></scores>\n", 60),
       "Error: line 2, column 15: the document holds a NUL byte, which the XML reader takes for its end.\n"},
      {"lost.xml", std::string("<x>..</x>\n\0<y>lost</y>", 23),
       "Error: line 2, column 1: the document holds a NUL byte, which the XML reader takes for its end.\n"},
      {"declaration.xml", "<?xml version=\"1.0\"?>\n<!-- nothing else -->\n",
       "Error: line 3, column 1: the document has no root element.\n"},
      {"text.xml", "<x>Tom & Jerry</x>", std::string("Error: line 1, column 8: ") + kAmpersand},
      {"unknown.xml", "<x>\n&lt;&#65;&#x42;&quot;&apos;&gt;&amp;&foo;</x>",
       std::string("Error: line 2, column 37: ") + kAmpersand},
      {"value.xml", "<x a='&#;'/>",
       "Error: line 1, column 7: a malformed character reference (\"&#233;\" or \"&#xE9;\").\n"},
  };
  int dpf = IStuffDPF->Create("docs.dpf");
  for (const auto& c : cases) {
    EXPECT_EQ(OpenText(c.text, c.file), 0) << c.file;
    EXPECT_TRUE(Logged(std::string(" . [Yandorix.XMLOpen('") + c.file + "')] " + c.reason)) << c.file;
    ASSERT_GT(IStuffDPF->AddFile(dpf, c.file), 0);
    EXPECT_EQ(Yandorix.XMLOpen(dpf, c.file), 0) << c.file;
    EXPECT_TRUE(Logged(std::string(" . [Yandorix.XMLOpen('docs.dpf','") + c.file + "')] " + c.reason)) << c.file;
  }
  IStuffDPF->Close(dpf);
  EXPECT_EQ(OpenSlots(), 0);
}

// Small documents of every kind a game may be handed: each is refused with the place and the reason,
// or read and saved, and the saved text is what it read (as UTF-8, attribute blanks as spaces).
TEST_F(XmlTest, DocumentsAreRefusedWithTheirPlaceOrComeBackAsRead) {
  const std::string utf16 = std::string("\xFF\xFE<\0a\0 \0n\0=\0'\0\xE9\0'\0/\0>\0", 22);
  const struct {
    std::string text;
    bool refused;
    std::string result;   // the reason after "Error: ", or the saved file
  } cases[] = {
      {"\n<?xml version=\"1.0\"?><a/>", true,
       "line 2, column 1: an XML declaration (\"<?xml ...?>\", in lower case) may stand only at the very start of the "
       "document."},
      {"<?xml version='1.0' encoding='UTF-8' standalone='maybe'?><a/>", true,
       "line 1, column 50: the XML declaration's standalone must be \"yes\" or \"no\"."},
      {"<?xml encoding='UTF-8'?><a/>", true, "line 1, column 7: the XML declaration must give its version here."},
      {"<a>\n\f</a>", true, "line 2, column 1: the character U+000C is not allowed in XML."},
      {"<a>\xEF\xBF\xBF</a>", true, "line 1, column 4: the character U+FFFF is not allowed in XML."},
      {"<a>&#xD800;</a>", true, "line 1, column 4: the character reference &#xD800; names no character XML allows."},
      {"<a>caf\xE9</a>", true, "line 1, column 7: the bytes here are not valid UTF-8."},
      {"<a><![CDATA [x]]></a>", true, "line 1, column 4: '<!' starts nothing that may stand inside an element."},
      {"<a><?pi x</a>", true, "line 1, column 4: the processing instruction is not closed (\"?>\")."},
      {"<a><!-- x -- y --></a>", true, "line 1, column 11: \"--\" is not allowed inside a comment."},
      {"<a b=c/>", true, "line 1, column 6: expected a value in quotes."},
      {"<a b=\"<\"/>", true, "line 1, column 7: '<' is not allowed in an attribute value (\"&lt;\" writes it)."},
      {"<a>x]]>y</a>", true, "line 1, column 5: ']]>' is not allowed in text."},
      {"<doc/></doc/>", true,
       "line 1, column 7: only elements, comments and processing instructions may follow the root element."},
      {"<!DOCTYPE doc [ <!ELEMENT doc ANY>\n<doc/>", true,
       "line 1, column 15: the document has an internal DTD subset (<!DOCTYPE name [ ... ]>), which the XML reader "
       "cannot read."},
      {"<map>\n  <layer name='a'>\n    <data>1,2", true, "line 3, column 14: the document ends inside the element 'data'."},
      {"<?xml version='1.0' encoding='EBCDIC-XY'?><a/>", true,
       "line 1, column 31: the document is in the encoding 'EBCDIC-XY', which the XML reader does not know."},
      {"<a v='&#x1F600;'>&#xE9;&#233;</a>", false, "<a v=\"\xF0\x9F\x98\x80\">\xC3\xA9\xC3\xA9</a>\n"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>", false,
       "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<a>caf\xC3\xA9</a>\n"},
      {utf16, false, "<a n=\"\xC3\xA9\" />\n"},
      {"<a v='x\ty\r\nz' w='&#9;&#10;'/>", false, "<a v=\"x y z\" w=\"&#x09;&#x0A;\" />\n"},
      {"<?xml-stylesheet href='a.xsl'?><a><?xml-x y?></a>", false,
       "<?xml-stylesheet href='a.xsl'?>\n<a>\n    <?xml-x y?>\n</a>\n"},
      {"<level name='day'/><level name='night'/>", false, "<level name=\"day\" />\n<level name=\"night\" />\n"},
  };
  for (const auto& c : cases) {
    int h = OpenText(c.text);
    EXPECT_EQ(h == 0, c.refused) << c.text;
    if (c.refused) {
      EXPECT_TRUE(Logged(" . [Yandorix.XMLOpen('doc.xml')] Error: " + c.result + "\n")) << c.result;
      continue;
    }
    ASSERT_EQ(Yandorix.XMLSave(h, "saved.xml"), 1);
    EXPECT_EQ(ydxtest::ReadFile("saved.xml"), c.result);
    Yandorix.XMLClose(h);
  }
  EXPECT_EQ(OpenSlots(), 0);
}

TEST_F(XmlTest, AFailedSaveReturnsFailureAndKeepsTheOldFile) {
  int h = Yandorix.XMLCreate("new");
  ydxtest::WriteFile("kept.xml", "<old/>");
  ydxplat::SetFaultHook(failWrites);
  EXPECT_EQ(Yandorix.XMLSave(h, "kept.xml"), 0);
  ydxplat::SetFaultHook(nullptr);
  EXPECT_TRUE(Logged(" . [Yandorix.XMLSave(1,'kept.xml')] Error: the file could not be written.\n"));
  EXPECT_EQ(ydxtest::ReadFile("kept.xml"), "<old/>");

  ydxtest::WriteFile("blocker", "a file, not a directory");
  EXPECT_EQ(Yandorix.XMLSave(h, "blocker/doc.xml"), 0);
  EXPECT_EQ(Yandorix.XMLSave(h, "kept.xml"), 1);
  int back = Yandorix.XMLOpen("kept.xml");
  ASSERT_EQ(Yandorix.XMLNodeFirst(back), 1);
  EXPECT_STREQ(Yandorix.XMLNodeGetName(back), "new");
}

TEST_F(XmlTest, TheMainObjectClosesDocumentsLeftOpen) {
  // The sanitizer run reports the documents as leaks if the destructor does not close them.
  auto* other = new Yandorix_Main();
  for (int i = 1; i <= 10; i++) ASSERT_EQ(other->XMLCreate("left"), i);
  ASSERT_EQ(other->XMLNodeCreate(3, "child"), 1);
  delete other;
  EXPECT_EQ(OpenSlots(), 0);   // the global object's table is its own
}

class XmlBeforeInitTest : public YdxTest {};

TEST_F(XmlBeforeInitTest, OperationsThatCreateDocumentsOrTouchArchivesRefuse) {
  ydxtest::StartLog();
  EXPECT_EQ(Yandorix.XMLCreate("r"), 0);
  EXPECT_NE(ydxtest::LogText().find(
                " . [Yandorix.XMLCreate()] Error: Yandorix was not initialized. Aborting the XML load.\n"),
            std::string::npos);
  EXPECT_EQ(Yandorix.XMLOpen("a.dpf", "block"), 0);
  EXPECT_NE(ydxtest::LogText().find(" . [Yandorix.XMLOpen('a.dpf','block')] Error: Yandorix was not initialized."),
            std::string::npos);
  EXPECT_EQ(Yandorix.XMLOpen(5, "block"), 0);
  EXPECT_EQ(Yandorix.XMLSave(1, "a.dpf", "block"), 0);
  EXPECT_NE(ydxtest::LogText().find(" . [Yandorix.XMLSave(1,'a.dpf','block')] Error: Yandorix was not initialized. "
                                    "Aborting the XML save.\n"),
            std::string::npos);
  EXPECT_EQ(Yandorix.XMLSave(1, 5, "block"), 0);
  EXPECT_EQ(Yandorix.LoadConfig("a.dpf", "setup.xml", nullptr), 0);
  EXPECT_FALSE(ydxtest::FileExists("a.dpf"));

  // A plain file needs no services.
  ydxtest::WriteFile("doc.xml", "<r/>");
  int h = Yandorix.XMLOpen("doc.xml");
  EXPECT_EQ(h, 1);
  Yandorix.XMLClose(h);
}

namespace {
// What Python's own XML parser reads from the files (see read_xml.py); empty when it refuses one.
std::string ReadWithPython(const std::string& files) {
  std::string command = std::string("python3 ") + YDX_SOURCE_DIR "/tests/xml/read_xml.py " + files;
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}
}  // namespace

TEST_F(XmlTest, WrittenDocumentsParseWithAnIndependentReader) {
  if (system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 with xml.etree is not available";
  int h = Yandorix.XMLCreate("level");
  Yandorix.XMLCommentSet(h, " a - b ");
  Yandorix.XMLAttributeSet(h, "name", "Caves \"deep\" & <dark> 'x'\ttab\nline\r");
  Yandorix.XMLAttributeSet(h, "speed", 0.1);
  Yandorix.XMLNodeCreate(h, "caf\xC3\xA9_layer-1.a");
  Yandorix.XMLTextSet(h, "1,2,3,\n4,5,6 ]]> &amp; \xE2\x82\xAC");
  Yandorix.XMLNodeParent(h);
  Yandorix.XMLNodeCreate(h, "empty");
  ASSERT_EQ(Yandorix.XMLSave(h, "level.xml"), 1);
  ASSERT_EQ(Yandorix.SaveConfig(NULL, "setup.xml", NULL), 1);
  std::string seen = ReadWithPython("level.xml setup.xml");
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.substr(0, seen.find("setup|")),
            "level|name=Caves \"deep\" & <dark> 'x'\ttab\\nline\r;speed=0.1|\n"
            "caf\xC3\xA9_layer-1.a||1,2,3,\\n4,5,6 ]]> &amp; \xE2\x82\xAC\n"
            "empty||\n");
  EXPECT_NE(seen.find("general|mtfriendly=0|General information\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("video|accel=1;colordepth=0;renderer=1;resolutionx=640;resolutiony=480;window=1|Renderer: "),
            std::string::npos) << seen;
}
