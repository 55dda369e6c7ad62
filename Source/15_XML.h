// Internals of the XML documents shared with the tests and the fuzz target: how outside bytes become
// the UTF-8 text TinyXML's parser reads, and the check that it is a whole, well-formed document the
// parser reads as written, made before the parser sees it.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

// Deepest element nesting accepted: TinyXML parses, copies, prints and frees documents recursively,
// so a hostile document nested deeply enough would overflow the stack. And most attributes on one
// element: TinyXML checks each new one against all before it, so hundreds of thousands would take
// the parser minutes.
enum { kXMLMaxDepth = 256, kXMLMaxAttributes = 256 };
// NUL bytes after a prepared text: more than the longest multi-byte character the parser may skip.
enum { kXMLPadding = 8 };

// The bytes of a document as UTF-8, whatever they came in: a UTF-16 document (with a byte-order mark,
// or beginning "<?" in UTF-16) and one whose declaration names another encoding are converted. False,
// with the reason naming the encoding, when they cannot be.
bool XMLToUTF8(std::string* bytes, std::string* error);

// The bytes as TinyXML's own file loader hands them to its parser: cut at the first NUL, every CR-LF
// and lone CR turned into LF, then followed by NUL padding so that no multi-byte character or entity
// at the very end can carry the parser past the buffer.
std::string XMLPrepareText(const char* bytes, size_t length);
void XMLPrepareText(std::string* text);   // in place

// What the check finds in a prepared text.
struct XMLScan {
  std::string problem;         // why the text is not a document the library reads; empty when it is
  const char* at = nullptr;    // where the problem is
  int depth = 0;               // the deepest element nesting (past the limit: where it stopped)
  int attributes = 0;          // the most attributes on one element (likewise)
  bool declared = false;       // the text begins with an XML declaration
  // Tabs and line feeds written inside attribute values: XML reads each as a space, TinyXML keeps them.
  std::vector<size_t> attributeBlanks;
  // Processing instructions whose target begins with "xml" (as in "<?xml-stylesheet ...?>"), which
  // TinyXML takes for declarations: their text between "<" and ">", in document order.
  std::vector<std::string> xmlInstructions;
};
XMLScan XMLCheck(const char* text, int depthLimit = kXMLMaxDepth, int attributeLimit = kXMLMaxAttributes);

// "line L, column C" of a place in a prepared text (both from 1; columns count characters).
std::string XMLWhere(const char* text, const char* at);

// NULL when `text` holds only UTF-8 characters an XML document can carry, else why not.
const char* XMLCharacterProblem(const char* text);
// Whether `name` is an XML name that TinyXML reads back as it is.
bool XMLIsName(const char* name);
