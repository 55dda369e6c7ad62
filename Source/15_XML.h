// Internals of the XML documents shared with the configuration file, the tests and the fuzz target:
// how outside bytes are made safe for TinyXML's parser before it sees them.
#pragma once
#include <stddef.h>
#include <string>

// Deepest element nesting accepted: TinyXML parses, copies, prints and frees documents recursively,
// so a hostile document nested deeply enough would overflow the stack. And most attributes on one
// element: TinyXML checks each new one against all before it, so hundreds of thousands would take
// the parser minutes.
enum { kXMLMaxDepth = 256, kXMLMaxAttributes = 256 };

// The bytes as TinyXML's own file loader hands them to its parser: cut at the first NUL, every CR-LF
// and lone CR turned into LF, then followed by NUL padding so that no multi-byte character or entity
// at the very end can carry the parser past the buffer.
std::string XMLPrepareText(const char* bytes, size_t length);
void XMLPrepareText(std::string* text);   // in place

// What TinyXML's parser reaches on a prepared text: the deepest element nesting and the most
// attributes on one element (never less than it reaches, also on documents it goes on to reject).
// Stops once either passes its limit.
struct XMLShape {
  int depth;
  int attributes;
  // The first '&' in a text or quoted attribute value that starts no entity reference, which the
  // parser would drop without a word ("Tom & Jerry" would read "Tom  Jerry"); NULL when there is none.
  const char* strayAmpersand = nullptr;
};
XMLShape XMLMeasure(const char* text, int depthLimit = kXMLMaxDepth, int attributeLimit = kXMLMaxAttributes);
