// Internals of the XML documents shared with the configuration file, the tests and the fuzz target:
// how outside bytes are made safe for TinyXML's parser before it sees them.
#pragma once
#include <stddef.h>
#include <string>

// Deepest element nesting accepted: TinyXML parses, copies, prints and frees documents recursively,
// so a hostile document nested deeply enough would overflow the stack.
enum { kXMLMaxDepth = 256 };

// The bytes as TinyXML's own file loader hands them to its parser: cut at the first NUL, every CR-LF
// and lone CR turned into LF, then followed by NUL padding so that no multi-byte character or entity
// at the very end can carry the parser past the buffer.
std::string XMLPrepareText(const char* bytes, size_t length);
void XMLPrepareText(std::string* text);   // in place

// The deepest element nesting TinyXML's parser reaches on a prepared text (never less than what it
// reaches, also on documents it goes on to reject). Stops counting once `limit` is passed.
int XMLNestingDepth(const char* text, int limit);
