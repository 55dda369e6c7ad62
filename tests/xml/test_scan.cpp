// The check made on outside bytes before TinyXML parses them: newline normalisation with padding, and
// the well-formedness check, which must refuse every text the parser would read other than as written
// (markup hidden in references, comments, CDATA and values included), or agree with the tree it builds.
#include "YdxTest.h"
#include "15_XML.h"
#include <tinyxml.h>
#include <string>

namespace {

int TreeDepth(const TiXmlNode* node) {
  int deepest = 0;
  for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
    int depth = TreeDepth(child) + (child->ToElement() ? 1 : 0);
    if (depth > deepest) deepest = depth;
  }
  return deepest;
}

// The bytes as XMLOpen checks them: converted to UTF-8, prepared, checked. A text the check accepts
// TinyXML reads to its end without an error, to a tree as deep as the check found.
void ExpectCheck(const std::string& bytes, bool accepted) {
  std::string text = bytes, error;
  bool converted = XMLToUTF8(&text, &error);
  XMLPrepareText(&text);
  XMLScan scan = XMLCheck(text.c_str(), 1000, 100000);
  EXPECT_EQ(converted && scan.problem.empty(), accepted) << bytes << ": " << error << scan.problem;
  if (!converted || !scan.problem.empty()) return;
  TiXmlDocument document;
  const char* stop = document.Parse(text.c_str(), NULL, TIXML_ENCODING_UTF8);
  EXPECT_TRUE(!stop || !*stop) << bytes;   // read to the end
  EXPECT_FALSE(document.Error()) << bytes << ": " << document.ErrorDesc();
  EXPECT_EQ(scan.depth, TreeDepth(&document)) << bytes;
}

}  // namespace

class XmlScanTest : public YdxTest {};

TEST_F(XmlScanTest, PreparedTextNormalisesNewlinesStopsAtNulAndIsPadded) {
  const char raw[] = "a\r\nb\rc\r\r\nd\ne\0tail";
  std::string text = XMLPrepareText(raw, sizeof raw - 1);
  ASSERT_GE(text.size(), 11u + 4u);
  EXPECT_EQ(std::string(text.c_str()), "a\nb\nc\n\nd\ne");
  for (size_t i = 11; i < text.size(); i++) EXPECT_EQ(text[i], '\0');
  EXPECT_EQ(std::string(XMLPrepareText("x\r", 2).c_str()), "x\n");
  EXPECT_EQ(std::string(XMLPrepareText("", 0).c_str()), "");
}

TEST_F(XmlScanTest, CountsPlainNesting) {
  ExpectCheck("<a><b><c/></b><d>text</d></a>", true);
  ExpectCheck("<?xml version='1.0'?>\n<a>\n  <b x='1' y=\"2\"/>\n</a>\n", true);
  ExpectCheck("<a><b><c><d><e/></d></c></b></a>", true);
  ExpectCheck("<a x=1 y=2><b z=3/></a>", false);   // unquoted values
}

TEST_F(XmlScanTest, MarkupInsideCommentsCdataAndAttributesIsNotCountedOrIsRefused) {
  ExpectCheck("<a><!-- <b><c><d> --><e/></a>", true);
  ExpectCheck("<a><!-- </a></a> --><b><c/></b></a>", true);
  ExpectCheck("<a><![CDATA[ </a><b><c> ]]><d/></a>", true);
  ExpectCheck("<a v='</a>' w=\"<b><c>\"><d/></a>", false);
  ExpectCheck("<!DOCTYPE a [ <!ELEMENT a ANY> ]><a><b/></a>", false);
  ExpectCheck("<?pi </a> ?><a><?xml version='</a>'?><b/></a>", false);
  // The parser reads "<?xml-..." as a declaration, past the "?>" inside a quoted version.
  ExpectCheck("<a><?xml-sheet version='?>'?><b/></a>", false);
  ExpectCheck("<?pi <a ?><a><?xml-sheet version='</a>'?><b/></a>", true);
}

TEST_F(XmlScanTest, NumericReferencesThatHideMarkupAreRefused) {
  // The parser reads "&#x</b>x1;" as one character reference, so the "</b>" closes nothing.
  ExpectCheck("<a><b>&#x</b>x1;<c><d/></c></b></a>", false);
  ExpectCheck("<a><b>&#1</b>#5;<c><d/></c></b></a>", false);
  ExpectCheck("<a><b v='&#x'x1;'><c/></b></a>", false);
  ExpectCheck("<a>&#x<b>zz;<c/></a>", false);
  ExpectCheck("<a><b>&#x41;&#65;&#x1F600;</b></a>", true);
}

TEST_F(XmlScanTest, MultiByteCharactersFollowTheDocumentEncoding) {
  // Read as UTF-8, the lead byte takes the '<' of "</b>" with it; read as Latin-1 it does not.
  const std::string body = "<a><b>\xC3</b><c><d/></c></b></a>";
  ExpectCheck("<?xml version='1.0' encoding='UTF-8'?>" + body, false);
  ExpectCheck("<?xml version='1.0' encoding='ISO-8859-1'?>" + body, false);   // converted: </b> closes nothing
  ExpectCheck("<?xml version='1.0' encoding='ISO-8859-1'?><a><b>\xC3</b><c><d/></c></a>", true);
  ExpectCheck("<?xml version='1.0'?>" + body, false);   // no encoding named: UTF-8
  ExpectCheck(body, false);                              // no declaration: UTF-8 as well
  ExpectCheck("\xEF\xBB\xBF" + body, false);            // byte-order mark: UTF-8
  ExpectCheck("<!--x--><?xml version='1.0' encoding='utf8'?>" + body, false);
  ExpectCheck("<x><?xml version='1.0' encoding='UTF-8'?></x>" + body, false);   // not at top level
  ExpectCheck("<?xml version='1.0' encoding='UTF-8'?><a v='\xE2'><b/>'><c/></a>", false);
}

TEST_F(XmlScanTest, TruncatedAndBrokenDocumentsAreRefused) {
  ExpectCheck("<a><b><c", false);
  ExpectCheck("<a><b></c></b></a>", false);
  ExpectCheck("<a><b x='1' x='2'><c/></b></a>", false);
  ExpectCheck("<?xml version='1.0' encoding='UTF-8'?><a>\xF0", false);
  ExpectCheck("text first<a><b/></a>", false);
  ExpectCheck("</x><a><b/></a>", false);
}

TEST_F(XmlScanTest, CountsAttributesOfOneElement) {
  std::string text = XMLPrepareText("<?xml version='1.0'?><a x='1' y=\"2\"><b z='3'/></a>", 50);
  XMLScan scan = XMLCheck(text.c_str());
  EXPECT_EQ(scan.problem, "");
  EXPECT_EQ(scan.attributes, 2);
  EXPECT_EQ(scan.depth, 2);
}

TEST_F(XmlScanTest, StopsCountingPastTheLimits) {
  std::string deep, wide = "<a";
  for (int i = 0; i < 100000; i++) deep += "<a>";
  for (int i = 0; i < 100000; i++) wide += " a" + std::to_string(i) + "=''";
  std::string text = XMLPrepareText(deep.data(), deep.size());
  EXPECT_EQ(XMLCheck(text.c_str()).depth, 257);
  text = XMLPrepareText(wide.data(), wide.size());
  EXPECT_EQ(XMLCheck(text.c_str()).attributes, 257);
}
