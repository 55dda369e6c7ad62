// Outside bytes on their way to TinyXML's parser: made UTF-8, line ends normalised, then checked in one
// pass to be a well-formed document that the parser reads whole and as written. TinyXML stays the
// parser; this check refuses, with the place, what it would read wrongly or in part without a word.
#include "15_XML.h"
#include <tinyxml.h>
#include <iconv.h>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <utility>

namespace {

bool StartsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

// ---------------------------------------------------------------------------------------------
// Characters

// Byte classes: which ASCII bytes each construct passes over without a closer look.
enum : unsigned char {
  kText = 1, kValue = 2, kComment = 4, kCData = 8, kInstruction = 16, kNameStart = 32, kNameChar = 64
};

struct ByteClasses {
  unsigned char of[256];
  constexpr ByteClasses() : of() {
    for (int c = 0x20; c < 0x80; ++c) of[c] = kText | kValue | kComment | kCData | kInstruction;
    for (int c : {'\t', '\n'}) of[c] = kText | kComment | kCData | kInstruction;   // values note theirs
    for (int c : {'<', '&'}) of[c] &= ~(kText | kValue);
    of[(int)']'] &= ~(kText | kCData);
    of[(int)'"'] &= ~kValue;
    of[(int)'\''] &= ~kValue;
    of[(int)'-'] &= ~kComment;
    of[(int)'?'] &= ~kInstruction;
    for (int c = 'a'; c <= 'z'; ++c) of[c] |= kNameStart | kNameChar;
    for (int c = 'A'; c <= 'Z'; ++c) of[c] |= kNameStart | kNameChar;
    for (int c = '0'; c <= '9'; ++c) of[c] |= kNameChar;
    of[(int)'_'] |= kNameStart | kNameChar;
    for (int c : {'-', '.', ':'}) of[c] |= kNameChar;
  }
};
constexpr ByteClasses kBytes;

bool Is(char c, unsigned char kind) { return kBytes.of[(unsigned char)c] & kind; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Length of the well-formed UTF-8 sequence at `p` with its code point in `code`; 0 when it is not one
// (overlong forms and surrogates included).
int DecodeUTF8(const unsigned char* p, uint32_t* code) {
  unsigned char lead = p[0];
  int length;
  uint32_t value;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, value = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, value = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, value = lead & 0x07;
  else return 0;
  for (int i = 1; i < length; ++i) {   // a NUL ends the loop before any byte past it is read
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = value << 6 | (p[i] & 0x3F);
  }
  if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  *code = value;
  return length;
}

bool IsXMLChar(uint32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// XML's name characters, less what TinyXML cannot read: ':' first, and U+FEFF first, which it skips.
bool IsNameStartCode(uint32_t c) {
  if (c < 0x80) return Is((char)c, kNameStart);
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD && c != 0xFEFF) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameCode(uint32_t c) {
  if (c < 0x80) return Is((char)c, kNameChar);
  return IsNameStartCode(c) || c == 0xFEFF || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The end of the name at `p`, or NULL when none starts there.
const char* NameEnd(const char* p) {
  uint32_t code;
  int length = DecodeUTF8((const unsigned char*)p, &code);
  if (!length || !IsNameStartCode(code)) return NULL;
  for (p += length;; p += length) {
    if (Is(*p, kNameChar)) {
      length = 1;
      continue;
    }
    length = (unsigned char)*p < 0x80 ? 0 : DecodeUTF8((const unsigned char*)p, &code);
    if (!length || !IsNameCode(code)) return p;
  }
}

// ---------------------------------------------------------------------------------------------
// The document check

class Scanner {
 public:
  Scanner(const char* text, int depthLimit, int attributeLimit, XMLScan* result)
      : start(text), depthLimit(depthLimit), attributeLimit(attributeLimit), result(result) {}
  void Run();

 private:
  typedef std::pair<const char*, size_t> Name;
  const char* start;
  int depthLimit, attributeLimit;
  XMLScan* result;
  std::vector<Name> open;         // the elements being read
  std::vector<Name> attributes;   // of the start tag being read

  const char* Fail(const char* at, const std::string& why);
  const char* Unexpected(const char* at, const char* expected);
  const char* Char(const char* at);
  const char* Over(const char* p, unsigned char plain);
  static const char* SkipSpace(const char* p);
  const char* Declaration(const char* at);
  const char* PseudoAttribute(const char* p, const char* name, bool required, std::string* value, const char** valueAt);
  const char* Prolog(const char* p);
  const char* Epilog(const char* p);
  const char* Element(const char* at);
  const char* StartTag(const char* at);
  const char* Attribute(const char* at);
  const char* Value(const char* p, char quote);
  const char* Content(const char* p);
  const char* EndTag(const char* at);
  const char* Reference(const char* at);
  const char* Comment(const char* at);
  const char* CData(const char* at);
  const char* Instruction(const char* at);
  const char* Doctype(const char* at);
  const char* Literal(const char* p, bool publicId);
};

const char* Scanner::Fail(const char* at, const std::string& why) {
  if (result->problem.empty()) {
    result->problem = why;
    result->at = at;
  }
  return NULL;
}

// A failure at a byte that is not what the construct wants: says what the byte is when that is the
// real fault (a control character, bytes that are not UTF-8, the end of the document).
const char* Scanner::Unexpected(const char* at, const char* expected) {
  unsigned char c = (unsigned char)*at;
  if (!c) return Fail(at, std::string("the document ends where ") + expected + " should follow");
  if (c >= 0x80 || (c < 0x20 && !IsSpace((char)c))) {
    if (!Char(at)) return NULL;
  }
  return Fail(at, std::string("expected ") + expected);
}

// Past one non-ASCII or control character, or NULL when XML does not allow it.
const char* Scanner::Char(const char* at) {
  uint32_t code = 0;
  int length = DecodeUTF8((const unsigned char*)at, &code);
  if (!length) return Fail(at, "the bytes here are not valid UTF-8");
  if (!IsXMLChar(code)) {
    char why[64];
    snprintf(why, sizeof why, "the character U+%04X is not allowed in XML", (unsigned)code);
    return Fail(at, why);
  }
  return at + length;
}

// Past the bytes of class `plain` and the allowed non-ASCII characters: at the first other ASCII byte
// (the NUL at the end included), which the caller decides on.
const char* Scanner::Over(const char* p, unsigned char plain) {
  for (;;) {
    while (Is(*p, plain)) ++p;
    if ((unsigned char)*p < 0x80) return p;
    if (!(p = Char(p))) return NULL;
  }
}

const char* Scanner::SkipSpace(const char* p) {
  while (IsSpace(*p)) ++p;
  return p;
}

void Scanner::Run() {
  const char* p = start;
  if (StartsWith(p, "\xEF\xBB\xBF")) p += 3;
  if (StartsWith(p, "<?xml") && (IsSpace(p[5]) || p[5] == '?')) {
    result->declared = true;
    p = Declaration(p);
  }
  if (p) p = Prolog(p);
  if (p) p = Element(p);
  if (p) Epilog(p);
}

bool IsVersion(const std::string& v) {
  return v.size() > 2 && v.compare(0, 2, "1.") == 0 && v.find_first_not_of("0123456789", 2) == std::string::npos;
}

bool IsEncodingName(const std::string& v) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  return !v.empty() && strchr(kLetters, v[0]) && v.find_first_not_of(std::string(kLetters) + "0123456789._-") == std::string::npos;
}

// <?xml version="1.x" encoding="name" standalone="yes|no"?>, in that order, version required.
const char* Scanner::Declaration(const char* at) {
  struct Part {
    const char* name;
    bool required;
    bool (*valid)(const std::string&);
    const char* why;
  } static const kParts[] = {
      {"version", true, IsVersion, "the XML declaration's version must be 1.0 (\"1.\" and digits)"},
      {"encoding", false, IsEncodingName, "the XML declaration's encoding name is malformed"},
      {"standalone", false, [](const std::string& v) { return v == "yes" || v == "no"; },
       "the XML declaration's standalone must be \"yes\" or \"no\""},
  };
  const char* p = at + 5;
  for (const Part& part : kParts) {
    std::string value;
    const char* valueAt = NULL;
    if (!(p = PseudoAttribute(p, part.name, part.required, &value, &valueAt))) return NULL;
    if (valueAt && !part.valid(value)) return Fail(valueAt, part.why);
  }
  p = SkipSpace(p);
  if (!StartsWith(p, "?>")) return Unexpected(p, "the end of the XML declaration, '?>'");
  return p + 2;
}

// One of the declaration's pseudo-attributes: white space, the name, '=', a quoted value, which goes
// to `value` and `valueAt`. Where it is optional and absent, `valueAt` stays NULL.
const char* Scanner::PseudoAttribute(const char* p, const char* name, bool required, std::string* value,
                                     const char** valueAt) {
  const char* q = SkipSpace(p);
  if (q == p || !StartsWith(q, name)) {
    if (!required) return p;
    return Fail(q, std::string("the XML declaration must give its ") + name + " here");
  }
  q = SkipSpace(q + strlen(name));
  if (*q != '=') return Unexpected(q, "'='");
  q = SkipSpace(q + 1);
  char quote = *q;
  if (quote != '"' && quote != '\'') return Unexpected(q, "a quoted value");
  *valueAt = ++q;
  while ((unsigned char)*q >= 0x20 && *q != quote && *q != '>') ++q;
  if (*q != quote) return Unexpected(q, "the closing quote");
  value->assign(*valueAt, (size_t)(q - *valueAt));
  return q + 1;
}

// Comments, processing instructions and one document type declaration up to the root's start tag.
const char* Scanner::Prolog(const char* p) {
  bool doctype = false;
  for (;;) {
    p = SkipSpace(p);
    if (!*p) return Fail(p, "the document has no root element");
    if (*p != '<') return Fail(p, "text before the root element");
    if (StartsWith(p, "<!--")) p = Comment(p);
    else if (p[1] == '?') p = Instruction(p);
    else if (StartsWith(p, "<!DOCTYPE") && !doctype) p = Doctype(p), doctype = true;
    else if (p[1] == '!') return Fail(p, doctype && StartsWith(p, "<!DOCTYPE") ? "a second document type declaration"
                                                                         : "'<!' starts nothing that may stand here");
    else return p;
    if (!p) return NULL;
  }
}

// After the root only comments, processing instructions and white space; and further elements, read
// as the root's siblings: level files keep several levels so, one after another.
const char* Scanner::Epilog(const char* p) {
  for (;;) {
    p = SkipSpace(p);
    if (!*p) return p;
    if (StartsWith(p, "<!--")) p = Comment(p);
    else if (StartsWith(p, "<?")) p = Instruction(p);
    else if (*p == '<' && NameEnd(p + 1)) p = Element(p);
    else if (*p == '<') return Fail(p, "only elements, comments and processing instructions may follow the root element");
    else return Fail(p, "text after the root element");
    if (!p) return NULL;
  }
}

// The root element with everything inside it, iteratively: nesting costs no stack here.
const char* Scanner::Element(const char* at) {
  const char* p = StartTag(at);
  while (p && !open.empty()) {
    p = Content(p);
    if (!p) break;
    if (p[1] == '/') p = EndTag(p);
    else if (StartsWith(p, "<!--")) p = Comment(p);
    else if (StartsWith(p, "<![CDATA[")) p = CData(p);
    else if (p[1] == '?') p = Instruction(p);
    else if (p[1] == '!') p = Fail(p, "'<!' starts nothing that may stand inside an element");
    else p = StartTag(p);
  }
  return p;
}

const char* Scanner::StartTag(const char* at) {
  const char* name = at + 1;
  const char* p = NameEnd(name);
  if (!p) return Unexpected(name, "an element name");
  Name element(name, (size_t)(p - name));
  int depth = (int)open.size() + 1;
  if (depth > result->depth) result->depth = depth;
  if (depth > depthLimit) {
    char why[64];
    snprintf(why, sizeof why, "elements are nested deeper than %d levels", depthLimit);
    return Fail(at, why);
  }
  attributes.clear();
  for (;;) {
    const char* next = SkipSpace(p);
    if (*next == '>') {
      open.push_back(element);
      return next + 1;
    }
    if (*next == '/') return next[1] == '>' ? next + 2 : Unexpected(next + 1, "'>' after '/'");
    if (next == p) return Unexpected(p, "white space, '>' or '/>' in the start tag");
    if (!(p = Attribute(next))) return NULL;
  }
}

const char* Scanner::Attribute(const char* at) {
  const char* p = NameEnd(at);
  if (!p) return Unexpected(at, "an attribute name, '>' or '/>'");
  size_t length = (size_t)(p - at);
  for (const Name& seen : attributes)
    if (seen.second == length && memcmp(seen.first, at, length) == 0)
      return Fail(at, "the attribute '" + std::string(at, length) + "' is given twice");
  attributes.emplace_back(at, length);
  int count = (int)attributes.size();
  if (count > result->attributes) result->attributes = count;
  if (count > attributeLimit) {
    char why[64];
    snprintf(why, sizeof why, "an element has more than %d attributes", attributeLimit);
    return Fail(at, why);
  }
  p = SkipSpace(p);
  if (*p != '=') return Unexpected(p, "'=' after the attribute name");
  p = SkipSpace(p + 1);
  if (*p != '"' && *p != '\'') return Unexpected(p, "a value in quotes");
  return Value(p + 1, *p);
}

const char* Scanner::Value(const char* p, char quote) {
  for (;;) {
    if (!(p = Over(p, kValue))) return NULL;
    char c = *p;
    if (c == quote) return p + 1;
    if (c == '"' || c == '\'') ++p;
    else if (c == '\t' || c == '\n') result->attributeBlanks.push_back((size_t)(p++ - start));
    else if (c == '&') p = Reference(p);
    else if (c == '<') return Fail(p, "'<' is not allowed in an attribute value (\"&lt;\" writes it)");
    else if (!c) return Fail(p, "the document ends inside an attribute value");
    else p = Char(p);
    if (!p) return NULL;
  }
}

// Character data up to the next markup.
const char* Scanner::Content(const char* p) {
  for (;;) {
    if (!(p = Over(p, kText))) return NULL;
    char c = *p;
    if (c == '<') return p;
    if (c == '&') p = Reference(p);
    else if (c == ']') p = StartsWith(p, "]]>") ? Fail(p, "']]>' is not allowed in text") : p + 1;
    else if (!c) return Fail(p, "the document ends inside the element '" + std::string(open.back().first, open.back().second) + "'");
    else p = Char(p);
    if (!p) return NULL;
  }
}

const char* Scanner::EndTag(const char* at) {
  const Name& top = open.back();
  const char* name = at + 2;
  const char* p = NameEnd(name);
  if (!p) return Unexpected(name, "an element name");
  if ((size_t)(p - name) != top.second || memcmp(name, top.first, top.second) != 0)
    return Fail(at, "the end tag </" + std::string(name, (size_t)(p - name)) + "> does not close <" +
                        std::string(top.first, top.second) + ">");
  p = SkipSpace(p);
  if (*p != '>') return Unexpected(p, "'>' ending the end tag");
  open.pop_back();
  return p + 1;
}

// A character reference to a character XML allows, or one of the five predefined entities: TinyXML
// knows no others (it would drop the '&').
const char* Scanner::Reference(const char* at) {
  if (at[1] == '#') {
    bool hex = at[2] == 'x';
    const char* p = at + (hex ? 3 : 2);
    const char* digits = p;
    uint32_t value = 0;
    for (;; ++p) {
      int digit = *p >= '0' && *p <= '9' ? *p - '0' : !hex ? -1 : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10
                : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10 : -1;
      if (digit < 0) break;
      value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + (uint32_t)digit;
    }
    if (p == digits || *p != ';') return Fail(at, "a malformed character reference (\"&#233;\" or \"&#xE9;\")");
    if (!IsXMLChar(value))
      return Fail(at, "the character reference " + std::string(at, (size_t)(p + 1 - at)) + " names no character XML allows");
    return p + 1;
  }
  static const char* const kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
  for (const char* entity : kEntities)
    if (StartsWith(at, entity)) return at + strlen(entity);
  return Fail(at, "an '&' that starts no entity reference (\"&amp;\" writes the character itself)");
}

const char* Scanner::Comment(const char* at) {
  for (const char* p = at + 4;;) {
    if (!(p = Over(p, kComment))) return NULL;
    if (*p == '-' && p[1] == '-') return p[2] == '>' ? p + 3 : Fail(p, "\"--\" is not allowed inside a comment");
    if (*p == '-') ++p;
    else if (!*p) return Fail(at, "the comment is not closed (\"-->\")");
    else if (!(p = Char(p))) return NULL;
  }
}

const char* Scanner::CData(const char* at) {
  for (const char* p = at + 9;;) {
    if (!(p = Over(p, kCData))) return NULL;
    if (StartsWith(p, "]]>")) return p + 3;
    if (*p == ']') ++p;
    else if (!*p) return Fail(at, "the CDATA section is not closed (\"]]>\")");
    else if (!(p = Char(p))) return NULL;
  }
}

// <?target text?>. TinyXML keeps one as text up to the first '>', and takes one whose target begins
// with "xml" for a declaration: either must read to the instruction's real end.
const char* Scanner::Instruction(const char* at) {
  const char* target = at + 2;
  const char* p = NameEnd(target);
  if (!p) return Unexpected(target, "the target name of a processing instruction");
  size_t targetLength = (size_t)(p - target);
  bool xmlNamed = targetLength >= 3 && strncasecmp(target, "xml", 3) == 0;
  if (targetLength == 3 && xmlNamed)
    return Fail(at, "an XML declaration (\"<?xml ...?>\", in lower case) may stand only at the very start of the document");
  const char* end = p;
  if (!StartsWith(p, "?>")) {
    if (!IsSpace(*p)) return Unexpected(p, "white space or '?>' after the target name");
    for (;;) {
      if (!(end = Over(end, kInstruction))) return NULL;
      if (StartsWith(end, "?>")) break;
      if (*end == '?') ++end;
      else if (!*end) return Fail(at, "the processing instruction is not closed (\"?>\")");
      else if (!(end = Char(end))) return NULL;
    }
  }
  if (!xmlNamed) {
    if (const char* inside = (const char*)memchr(p, '>', (size_t)(end - p)))
      return Fail(inside, "a processing instruction holding '>' cannot be kept by the XML reader");
    return end + 2;
  }
  TiXmlDeclaration reading;
  if (reading.Parse(at, NULL, TIXML_ENCODING_UTF8) != end + 2)
    return Fail(at, "this processing instruction cannot be kept by the XML reader");
  result->xmlInstructions.emplace_back(at + 1, (size_t)(end + 1 - (at + 1)));
  return end + 2;
}

// <!DOCTYPE name>, with an optional external identifier; TinyXML keeps it as text up to the first '>'
// and reads no internal subset.
const char* Scanner::Doctype(const char* at) {
  const char* p = at + 9;
  if (!IsSpace(*p)) return Unexpected(p, "white space after \"<!DOCTYPE\"");
  p = SkipSpace(p);
  const char* nameEnd = NameEnd(p);
  if (!nameEnd) return Unexpected(p, "the root element's name in the document type declaration");
  p = SkipSpace(nameEnd);
  if (p > nameEnd && (StartsWith(p, "SYSTEM") || StartsWith(p, "PUBLIC"))) {
    bool publicId = *p == 'P';
    if (!IsSpace(p[6])) return Unexpected(p + 6, "white space");
    p = SkipSpace(p + 6);
    if (publicId) {
      if (!(p = Literal(p, true))) return NULL;
      if (!IsSpace(*p)) return Unexpected(p, "white space and the system identifier");
      p = SkipSpace(p);
    }
    if (!(p = Literal(p, false))) return NULL;
    p = SkipSpace(p);
  }
  if (*p == '[')
    return Fail(p, "the document has an internal DTD subset (<!DOCTYPE name [ ... ]>), which the XML reader cannot read");
  if (*p != '>') return Unexpected(p, "'>' ending the document type declaration");
  return p + 1;
}

bool IsPublicIdChar(char c) {
  return c && (((unsigned char)c < 0x80 && isalnum((unsigned char)c)) || strchr(" \n-'()+,./:=?;!*#@$_%", c));
}

const char* Scanner::Literal(const char* p, bool publicId) {
  char quote = *p;
  if (quote != '"' && quote != '\'') return Unexpected(p, "an identifier in quotes");
  for (++p; *p != quote;) {
    if (!*p) return Fail(p, "the document ends inside an identifier");
    if (*p == '>') return Fail(p, "an identifier holding '>' cannot be kept by the XML reader");
    if (publicId && !IsPublicIdChar(*p)) return Fail(p, "this character is not allowed in a public identifier");
    bool plain = (unsigned char)*p < 0x80 && ((unsigned char)*p >= 0x20 || IsSpace(*p));
    if (!(p = plain ? p + 1 : Char(p))) return NULL;
  }
  return p + 1;
}

// ---------------------------------------------------------------------------------------------
// Encodings

bool EqualNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// The encoding named by a declaration at the very start of 8-bit text, and where the name stands;
// empty when none is named.
std::string DeclaredEncoding(const std::string& bytes, size_t* where) {
  if (bytes.compare(0, 5, "<?xml") != 0 || bytes.size() < 6 || !IsSpace(bytes[5])) return "";
  std::string declaration = bytes.substr(0, bytes.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == std::string::npos) return "";
  at = declaration.find_first_not_of(" \t\r\n", at + 8);
  if (at == std::string::npos || declaration[at] != '=') return "";
  at = declaration.find_first_not_of(" \t\r\n", at + 1);
  if (at == std::string::npos || (declaration[at] != '"' && declaration[at] != '\'')) return "";
  size_t close = declaration.find(declaration[at], at + 1);
  *where = at + 1;
  return close == std::string::npos ? "" : declaration.substr(at + 1, close - at - 1);
}

// Line and column in the converted text of where a conversion stopped.
std::string PlaceIn(const std::string& converted) {
  std::string text = converted;
  text.append(kXMLPadding, '\0');
  return XMLWhere(text.c_str(), text.c_str() + converted.size());
}

// `bytes[skip..]` converted from `encoding` (named at `where`) to UTF-8 with iconv; false with the reason.
bool Convert(std::string* bytes, size_t skip, const std::string& encoding, size_t where, std::string* error) {
  iconv_t converter = iconv_open("UTF-8", encoding.c_str());
  if (converter == (iconv_t)-1) {
    *error = XMLWhere(bytes->c_str(), bytes->c_str() + where) + ": the document is in the encoding '" + encoding +
             "', which the XML reader does not know.";
    return false;
  }
  std::string out(bytes->size() + bytes->size() / 2 + 16, '\0');
  char* in = &(*bytes)[skip];
  size_t inLeft = bytes->size() - skip, outUsed = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* to = &out[outUsed];
    size_t outLeft = out.size() - outUsed;
    size_t result = iconv(converter, &in, &inLeft, &to, &outLeft);
    outUsed = (size_t)(to - out.data());
    if (result != (size_t)-1) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    out.resize(outUsed);
    *error = PlaceIn(out) + ": the bytes here are not valid " + encoding + ", the encoding the document is in.";
    ok = false;
    break;
  }
  iconv_close(converter);
  if (!ok) return false;
  out.resize(outUsed);
  bytes->swap(out);
  return true;
}

}  // namespace

bool XMLToUTF8(std::string* bytes, std::string* error) {
  const std::string& b = *bytes;
  // A byte-order mark decides; without one a document beginning "<?" in UTF-16 says which order.
  std::string from;
  size_t skip = 0;
  if (b.compare(0, 2, "\xFF\xFE") == 0) from = "UTF-16LE", skip = 2;
  else if (b.compare(0, 2, "\xFE\xFF") == 0) from = "UTF-16BE", skip = 2;
  else if (b.compare(0, 3, "\xEF\xBB\xBF") == 0) return true;
  else if (b.compare(0, 4, std::string("<\0?\0", 4)) == 0) from = "UTF-16LE";
  else if (b.compare(0, 4, std::string("\0<\0?", 4)) == 0) from = "UTF-16BE";
  bool declared = from.empty();
  size_t where = 0;
  if (declared) {
    from = DeclaredEncoding(b, &where);
    if (from.empty() || EqualNoCase(from, "UTF-8") || EqualNoCase(from, "UTF8")) return true;
  }
  if (!Convert(bytes, skip, from, where, error)) return false;
  // Text whose own declaration does not read the same once converted is not in that encoding.
  if (declared && bytes->compare(0, 5, "<?xml") != 0) {
    *error = "line 1, column 1: the document says it is in the encoding '" + from + "', but its bytes are not.";
    return false;
  }
  return true;
}

void XMLPrepareText(std::string* text) {
  size_t length = strnlen(text->data(), text->size());
  char* begin = &(*text)[0];
  char* out = (char*)memchr(begin, '\r', length);
  if (out) {
    // From one CR to the next: write LF for it (and its LF), then move the bytes up to the next one.
    const char* end = begin + length;
    const char* in = out;
    while (in < end) {
      *out++ = '\n';
      if (++in < end && *in == '\n') ++in;
      const char* next = (const char*)memchr(in, '\r', (size_t)(end - in));
      if (!next) next = end;
      memmove(out, in, (size_t)(next - in));
      out += next - in;
      in = next;
    }
    length = (size_t)(out - begin);
  }
  text->resize(length);
  text->append(kXMLPadding, '\0');
}

std::string XMLPrepareText(const char* bytes, size_t length) {
  std::string text;
  text.reserve(length + kXMLPadding);
  text.assign(bytes, length);
  XMLPrepareText(&text);
  return text;
}

XMLScan XMLCheck(const char* text, int depthLimit, int attributeLimit) {
  XMLScan result;
  Scanner(text, depthLimit, attributeLimit, &result).Run();
  return result;
}

std::string XMLWhere(const char* text, const char* at) {
  int line = 1, column = 1;
  const char* c = StartsWith(text, "\xEF\xBB\xBF") && at >= text + 3 ? text + 3 : text;
  for (; c < at; ++c) {
    if (*c == '\n') ++line, column = 1;
    else if (((unsigned char)*c & 0xC0) != 0x80) ++column;   // continuation bytes are not characters
  }
  char place[48];
  snprintf(place, sizeof place, "line %d, column %d", line, column);
  return place;
}

const char* XMLCharacterProblem(const char* text) {
  for (const unsigned char* c = (const unsigned char*)text; *c;) {
    uint32_t code = 0;
    int length = DecodeUTF8(c, &code);
    if (!length) return "is not valid UTF-8";
    if (!IsXMLChar(code)) return code < 0x20 ? "holds a control character" : "holds a character XML does not allow";
    c += length;
  }
  return NULL;
}

bool XMLIsName(const char* name) {
  const char* end = NameEnd(name);
  return end && !*end;
}
