// XML documents behind handles 1..10: open from files and archive "FILE" blocks, walk the elements with
// a cursor, edit names, attributes, texts and comments, save to files and archive blocks. TinyXML
// parses, holds and prints the documents; outside bytes are checked here before it sees them.
#include "15_XML.h"
#include "00_Platform.h"
#include "01_Main.h"
#include "11_DPFCache.h"
#include <tinyxml.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

const size_t kPadding = 8;        // more than the longest multi-byte character the parser may skip
const size_t kMaxDocument = 0x7fffffff;
const size_t kMaxBlockName = 31;  // what an archive block name field holds
const char kOpenNotInitialised[] =
    " . [Yandorix.XMLOpen('%s','%s')] Error: Yandorix was not initialized. Aborting the XML load.\n";
const char kSaveNotInitialised[] =
    " . [Yandorix.XMLSave(%d,'%s','%s')] Error: Yandorix was not initialized. Aborting the XML save.\n";

// ---------------------------------------------------------------------------------------------
// Shape scan: follows TinyXML's parser over the text without building anything, using the
// parser's own character rules (protected members of its base class), so that the depth and the
// attribute counts it finds are what the parser would reach.

struct ParserRules : TiXmlBase {
  static bool Space(char c) { return IsWhiteSpace(c); }
  static const char* Skip(const char* p, TiXmlEncoding encoding) {
    if (!*p) return p;
    const char* next = SkipWhiteSpace(p, encoding);
    return next ? next : p;
  }
  static bool NameStart(char c, TiXmlEncoding encoding) {
    return IsAlpha((unsigned char)c, encoding) || c == '_';
  }
  static bool NameChar(char c, TiXmlEncoding encoding) {
    return IsAlphaNum((unsigned char)c, encoding) || c == '_' || c == '-' || c == '.' || c == ':';
  }
  static int CharLength(char c, TiXmlEncoding encoding) {
    return encoding == TIXML_ENCODING_UTF8 ? utf8ByteTable[(unsigned char)c] : 1;
  }
  static const char* ErrorText(int code) { return errorString[code]; }
};

bool StartsWith(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (!*text || tolower((unsigned char)*text) != tolower((unsigned char)*prefix)) return false;
  return true;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

class ShapeScan {
 public:
  ShapeScan(const char* text, int depthLimit, int attributeLimit)
      : start(text), depthLimit(depthLimit), attributeLimit(attributeLimit) {}
  XMLShape Run();

 private:
  const char* start;
  int depthLimit, attributeLimit;
  TiXmlEncoding encoding = TIXML_ENCODING_UNKNOWN;
  bool condensed = TiXmlBase::IsWhiteSpaceCondensed();
  std::vector<std::pair<const char*, size_t>> open;   // names of the elements being read
  XMLShape shape = {0, 0};

  const char* Skip(const char* at) const { return ParserRules::Skip(at, encoding); }
  const char* Markup(const char* at);
  const char* Declaration(const char* at);
  const char* StartTag(const char* at);
  const char* Attribute(const char* at);
  const char* EndTag(const char* at);
  const char* Text(const char* at);
  const char* Quoted(const char* at, char quote);
  const char* NextChar(const char* at);
  const char* EntityEnd(const char* at);
};

// Every step returns where the parser goes on, or NULL where it gives up (it then reads no further).
XMLShape ShapeScan::Run() {
  const unsigned char* bom = (const unsigned char*)start;
  if (bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF) encoding = TIXML_ENCODING_UTF8;
  const char* at = Skip(start);
  while (at && *at && shape.depth <= depthLimit && shape.attributes <= attributeLimit) {
    if (open.empty()) {
      if (*at != '<') break;   // text outside every element ends the document
      at = Markup(at);
    } else if (*at != '<') {
      at = Text(at);
    } else if (at[1] == '/') {
      at = EndTag(at);
    } else {
      at = Markup(at);
    }
    if (at) at = Skip(at);
  }
  return shape;
}

// The leaf kinds are parsed by TinyXML's own node classes: exact, and none of them nests.
const char* ShapeScan::Markup(const char* at) {
  if (StartsWithNoCase(at, "<?xml")) return Declaration(at);
  if (StartsWith(at, "<!--")) {
    TiXmlComment comment;
    return comment.Parse(at, NULL, encoding);
  }
  if (StartsWith(at, "<![CDATA[")) {
    TiXmlText cdata("");
    cdata.SetCDATA(true);
    return cdata.Parse(at, NULL, encoding);
  }
  if (!StartsWith(at, "<!") && ParserRules::NameStart(at[1], encoding)) return StartTag(at);
  TiXmlUnknown unknown;
  return unknown.Parse(at, NULL, encoding);
}

// A declaration outside every element sets the encoding the rest of the document is read in.
const char* ShapeScan::Declaration(const char* at) {
  TiXmlDeclaration declaration;
  const char* next = declaration.Parse(at, NULL, encoding);
  if (open.empty() && encoding == TIXML_ENCODING_UNKNOWN) {
    const char* name = declaration.Encoding();
    bool utf8 = !*name || StartsWithNoCase(name, "UTF-8") || StartsWithNoCase(name, "UTF8");
    encoding = utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_LEGACY;
  }
  return next;
}

// The parser enters an element (one level deeper) before it knows whether the tag is sound.
const char* ShapeScan::StartTag(const char* at) {
  if ((int)open.size() + 1 > shape.depth) shape.depth = (int)open.size() + 1;
  const char* name = Skip(at + 1);
  if (!ParserRules::NameStart(*name, encoding)) return NULL;
  const char* c = name;
  while (*c && ParserRules::NameChar(*c, encoding)) ++c;
  size_t nameLength = (size_t)(c - name);
  if (!*c) return NULL;
  for (int attributes = 1;; attributes++) {
    c = Skip(c);
    if (!*c) return NULL;
    if (*c == '/') return c[1] == '>' ? c + 2 : NULL;
    if (*c == '>') {
      open.emplace_back(name, nameLength);
      return c + 1;
    }
    // Each attribute is checked against all before it: many on one element cost quadratic time.
    if (attributes > shape.attributes) shape.attributes = attributes;
    if (attributes > attributeLimit) return NULL;
    c = Attribute(c);
    if (!c || !*c) return NULL;
  }
}

const char* ShapeScan::Attribute(const char* at) {
  const char* c = Skip(at);
  if (!ParserRules::NameStart(*c, encoding)) return NULL;
  while (*c && ParserRules::NameChar(*c, encoding)) ++c;
  if (!*c) return NULL;
  c = Skip(c);
  if (*c != '=') return NULL;
  c = Skip(c + 1);
  if (!*c) return NULL;
  if (*c == '\'' || *c == '"') return Quoted(c + 1, *c);
  // An unquoted value runs to white space or the end of the tag.
  for (; *c && !ParserRules::Space(*c) && *c != '/' && *c != '>'; ++c)
    if (*c == '\'' || *c == '"') return NULL;
  return c;
}

const char* ShapeScan::EndTag(const char* at) {
  const std::pair<const char*, size_t>& name = open.back();
  const char* c = at + 2;
  if (strncmp(c, name.first, name.second) != 0) return NULL;
  c = Skip(c + name.second);
  if (*c != '>') return NULL;
  open.pop_back();
  return c + 1;
}

// Plain ASCII other than the two bytes that matter (and '&') is one character, blank or not: the
// common case, taken without asking the parser's rules.
static const char* SkipPlain(const char* c, char stop) {
  for (unsigned char byte = *c; byte && byte < 0x80 && byte != (unsigned char)stop && byte != '&'; byte = *++c) {
  }
  return c;
}

const char* ShapeScan::Text(const char* at) {
  const char* c = at;
  if (condensed) c = Skip(c);
  for (;;) {
    c = SkipPlain(c, '<');
    if (!*c || *c == '<') break;
    c = condensed && ParserRules::Space(*c) ? c + 1 : NextChar(c);
    if (!c) return NULL;
  }
  if (!*c || !c[1]) return NULL;   // the parser wants something after the '<'
  return c;
}

const char* ShapeScan::Quoted(const char* at, char quote) {
  const char* c = at;
  for (;;) {
    c = SkipPlain(c, quote);
    if (!*c || *c == quote) break;
    c = NextChar(c);
    if (!c) return NULL;
  }
  if (!*c || !c[1]) return NULL;
  return c + 1;
}

// One character of text as the parser takes it: a whole UTF-8 sequence (its lead byte decides the
// length, whatever follows), or an entity.
const char* ShapeScan::NextChar(const char* at) {
  int length = ParserRules::CharLength(*at, encoding);
  if (length == 1) return *at == '&' ? EntityEnd(at) : at + 1;
  if (length <= 0) return NULL;
  return at + length;
}

// A numeric reference runs to the next ';' as long as the digits walking back from it are valid, so it
// can hide markup ("&#x<x41;"); named and unknown entities hold none. The parser knows the five
// predefined entities only: any other '&', and a reference without digits, it drops.
const char* ShapeScan::EntityEnd(const char* at) {
  if (at[1] != '#' || !at[2]) {
    static const char* const kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    bool known = false;
    for (const char* entity : kEntities) known = known || StartsWith(at, entity);
    if (!known && !shape.strayAmpersand) shape.strayAmpersand = at;
    return at + 1;
  }
  bool hex = at[2] == 'x';
  if (hex && !at[3]) return NULL;
  const char* digits = at + (hex ? 3 : 2);
  const char* semicolon = strchr(digits, ';');
  if (!semicolon) return NULL;
  for (const char* d = semicolon - 1; *d != (hex ? 'x' : '#'); --d)
    if (hex ? !IsHexDigit(*d) : !(*d >= '0' && *d <= '9')) return NULL;
  if (semicolon == digits && !shape.strayAmpersand) shape.strayAmpersand = at;
  return semicolon + 1;
}

}  // namespace

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
  text->append(kPadding, '\0');
}

std::string XMLPrepareText(const char* bytes, size_t length) {
  std::string text;
  text.reserve(length + kPadding);
  text.assign(bytes, length);
  XMLPrepareText(&text);
  return text;
}

XMLShape XMLMeasure(const char* text, int depthLimit, int attributeLimit) {
  return ShapeScan(text, depthLimit, attributeLimit).Run();
}

namespace {

// ---------------------------------------------------------------------------------------------
// Documents in and out.

bool HasInternalSubset(const TiXmlDocument* document) {
  for (const TiXmlNode* node = document->FirstChild(); node; node = node->NextSibling())
    if (node->ToUnknown() && StartsWith(node->Value(), "!DOCTYPE") && strchr(node->Value(), '[')) return true;
  return false;
}

// Line and column (both from 1) of a place in prepared text, for the reasons a document is refused.
void Where(const char* text, const char* at, int* line, int* column) {
  *line = 1;
  const char* lineStart = text;
  for (const char* c = text; c < at; ++c)
    if (*c == '\n') {
      ++*line;
      lineStart = c + 1;
    }
  *column = (int)(at - lineStart) + 1;
}

// Outside the elements TinyXML stops without an error at what it cannot read (the rest of an internal
// DTD subset, text after the root) and keeps only what came before it. Such a document is refused:
// no handle ever stands for part of one, which a save would then write out cut short.
bool ReadWhole(const TiXmlDocument* document, const char* text, const char* stop, std::string* error) {
  if (!stop || !*stop) return true;   // the parser skips white space after each node it reads
  int line, column;
  Where(text, stop, &line, &column);
  char reason[200];
  if (HasInternalSubset(document))
    snprintf(reason, sizeof reason, "the document has an internal DTD subset (<!DOCTYPE name [ ... ]>), which "
             "the XML reader cannot read: it stops at line %d, column %d.", line, column);
  else
    snprintf(reason, sizeof reason, "the XML reader stops at line %d, column %d and cannot read the document "
             "whole.", line, column);
  *error = reason;
  return false;
}

// The parser takes a NUL byte for the end of the document. NULs and white space may end a file; a NUL
// with more of the document after it would leave a handle to its first part only.
bool EndsAtNul(const std::string& bytes) {
  size_t nul = bytes.find('\0');
  return nul != std::string::npos && bytes.find_first_not_of(std::string(" \t\r\n\0", 5), nul) != std::string::npos;
}

// Refusals found on a parsed document, in the order a reader meets them; false with the reason.
bool WholeDocument(const TiXmlDocument* document, const char* text, const char* stop, const char* strayAmpersand,
                   std::string* error) {
  if (!ReadWhole(document, text, stop, error)) return false;
  if (!strayAmpersand && document->RootElement()) return true;
  if (!strayAmpersand) {
    *error = "the document has no root element.";
    return false;
  }
  int line, column;
  Where(text, strayAmpersand, &line, &column);
  char reason[160];
  snprintf(reason, sizeof reason, "line %d, column %d holds an '&' that starts no entity reference (\"&amp;\" "
           "writes the character itself).", line, column);
  *error = reason;
  return false;
}

// Parses a document's bytes (prepared in place); NULL with the reason when it is refused.
TiXmlDocument* ParseDocument(std::string* bytes, std::string* error) {
  bool cutAtNul = EndsAtNul(*bytes);
  XMLPrepareText(bytes);
  const std::string& text = *bytes;
  if (cutAtNul) {
    int line, column;
    Where(text.c_str(), text.c_str() + strlen(text.c_str()), &line, &column);
    char reason[160];
    snprintf(reason, sizeof reason, "the document holds a NUL byte at line %d, column %d, which the XML reader "
             "takes for its end.", line, column);
    *error = reason;
    return NULL;
  }
  XMLShape shape = XMLMeasure(text.c_str());
  if (shape.depth > kXMLMaxDepth || shape.attributes > kXMLMaxAttributes) {
    char reason[80];
    if (shape.depth > kXMLMaxDepth)
      snprintf(reason, sizeof reason, "elements are nested deeper than %d levels.", (int)kXMLMaxDepth);
    else
      snprintf(reason, sizeof reason, "an element has more than %d attributes.", (int)kXMLMaxAttributes);
    *error = reason;
    return NULL;
  }
  TiXmlDocument* document = NULL;
  const char* stop = NULL;
  try {
    document = new TiXmlDocument();
    stop = document->Parse(text.c_str(), NULL, TIXML_DEFAULT_ENCODING);
  } catch (const std::bad_alloc&) {
    delete document;
    *error = "out of memory.";
    return NULL;
  }
  if (document->Error()) *error = document->ErrorDesc();
  else if (WholeDocument(document, text.c_str(), stop, shape.strayAmpersand, error)) return document;
  delete document;
  return NULL;
}

// The whole file, or false with TinyXML's own text for a file it could not have read either.
bool ReadWholeFile(const char* path, std::string* bytes, std::string* error) {
  int fd = ydxplat::Open(path, ydxplat::kRead);
  if (fd < 0) {
    *error = ParserRules::ErrorText(TiXmlBase::TIXML_ERROR_OPENING_FILE);
    return false;
  }
  int64_t length = ydxplat::FileLength(fd);
  bool ok = length >= 0 && (uint64_t)length <= kMaxDocument;
  if (ok) {
    try {
      bytes->reserve((size_t)length + kPadding);
      bytes->resize((size_t)length);
      ok = ydxplat::Read(fd, &(*bytes)[0], (size_t)length) == length;
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  ydxplat::Close(fd);
  if (!ok) *error = ParserRules::ErrorText(TiXmlBase::TIXML_ERROR_OPENING_FILE);
  return ok;
}

// The document as the library writes it, to files and archive blocks alike.
bool PrintDocument(const TiXmlDocument* document, std::string* bytes) {
  try {
    TiXmlPrinter printer;
    document->Accept(&printer);
    bytes->assign(printer.Str());
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

const char* TextOr(const char* text) { return text ? text : ""; }

const char* ArchivePath(int dpf) { return IStuffDPF ? TextOr(IStuffDPF->GetFilename(dpf)) : ""; }

bool FileExists(const char* path) {
  struct stat st;
  return ydxplat::Stat(path, &st) == 0;
}

void FillBlock(DPF_BlockData* block, const char* name) {
  memset(block, 0, sizeof *block);
  strcpy(block->name, name);   // the caller checked the length
  strcpy(block->type, "FILE");
}

// Stores `bytes` as the "FILE" block `name`, in the storage mode of the block it replaces. The new
// block goes in before the old one is deleted, so a crash during a save keeps the previous document.
int ReplaceFileBlock(int dpf, const char* name, std::string& bytes) {
  DPF_BlockData block;
  FillBlock(&block, name);
  bool replacing = IStuffDPF->Search(dpf, &block) == 1;
  uint8_t mode = replacing ? block.mode : 0;
  FillBlock(&block, name);
  block.mode = mode;
  block.size = (int)bytes.size();
  block.data = &bytes[0];
  return ydxdpf::ReplaceBlock(*IStuffDPF, dpf, &block);
}

// ---------------------------------------------------------------------------------------------
// What the library agrees to write: texts every XML reader takes back as they were.

bool DeclaresUTF8(const TiXmlDocument* document) {
  for (const TiXmlNode* node = document->FirstChild(); node; node = node->NextSibling())
    if (const TiXmlDeclaration* declaration = node->ToDeclaration()) {
      const char* name = declaration->Encoding();
      return !*name || StartsWithNoCase(name, "UTF-8") || StartsWithNoCase(name, "UTF8");
    }
  return true;   // XML's default
}

// Length of the well-formed UTF-8 sequence at `text`, 0 when it is not one or encodes one of the two
// non-characters XML excludes (U+FFFE, U+FFFF; the parser also skips them as if they were blanks).
int UTF8Length(const unsigned char* text) {
  unsigned char lead = text[0];
  int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  for (int i = 1; i < length; i++)
    if ((text[i] & 0xC0) != 0x80) return 0;
  if (length == 3 && ((lead == 0xE0 && text[1] < 0xA0) || (lead == 0xED && text[1] >= 0xA0))) return 0;
  if (length == 4 && ((lead == 0xF0 && text[1] < 0x90) || (lead == 0xF4 && text[1] >= 0x90))) return 0;
  if (lead == 0xEF && text[1] == 0xBF && (text[2] == 0xBE || text[2] == 0xBF)) return 0;
  return length;
}

// TinyXML writes "&#x" and what follows up to the next ';' unescaped, taking it for a character
// reference: anything but hex digits there would go into the file as markup.
bool IsHexReference(const char* text) {
  const char* c = text + 3;
  while (IsHexDigit(*c)) ++c;
  return c > text + 3 && *c == ';';
}

// NULL when `text` holds only characters a document can carry, else why not. XML carries no control
// characters but tab and line ends, and a document declared UTF-8 must hold UTF-8: the parser would
// otherwise take the bytes after a stray lead byte, markup included, as part of one character.
const char* CharacterProblem(const TiXmlDocument* document, const char* text) {
  bool utf8 = DeclaresUTF8(document);
  const unsigned char* c = (const unsigned char*)text;
  while (*c) {
    if (*c < 0x20 && *c != '\t' && *c != '\n' && *c != '\r') return "holds a control character";
    int length = utf8 ? UTF8Length(c) : 1;
    if (!length) return "is not valid UTF-8";
    c += length;
  }
  return NULL;
}

// The same for texts and attribute values, which TinyXML escapes as it writes them.
const char* TextProblem(const TiXmlDocument* document, const char* text) {
  for (const char* reference = strstr(text, "&#x"); reference; reference = strstr(reference + 1, "&#x"))
    if (!IsHexReference(reference)) return "holds \"&#x\" that does not start a character reference";
  return CharacterProblem(document, text);
}

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

// Names TinyXML reads back and other parsers accept: a letter, '_' or a non-ASCII character first,
// then also digits, '-', '.' and ':'.
const char* NameProblem(const TiXmlDocument* document, const char* name) {
  const unsigned char* c = (const unsigned char*)name;
  // The parser skips a byte-order mark where a name begins.
  if (!IsNameStart(*c) || StartsWith(name, "\xEF\xBB\xBF")) return "is not a valid XML name";
  for (; *c; ++c)
    if (!IsNameStart(*c) && !(*c >= '0' && *c <= '9') && *c != '-' && *c != '.' && *c != ':')
      return "is not a valid XML name";
  return CharacterProblem(document, name);
}

// A comment ends at the first "--"; one ending in '-' would run into its own terminator.
const char* CommentProblem(const TiXmlDocument* document, const char* text) {
  size_t length = strlen(text);
  if (strstr(text, "--") || (length && text[length - 1] == '-')) return "holds \"--\" or ends in '-'";
  return CharacterProblem(document, text);  // written as it is, not escaped
}

TiXmlText* FirstText(TiXmlElement* element) {
  for (TiXmlNode* node = element->FirstChild(); node; node = node->NextSibling())
    if (TiXmlText* text = node->ToText()) return text;
  return NULL;
}

TiXmlComment* FirstComment(TiXmlElement* element) {
  for (TiXmlNode* node = element->FirstChild(); node; node = node->NextSibling())
    if (TiXmlComment* comment = node->ToComment()) return comment;
  return NULL;
}

int AttributeCount(const TiXmlElement* element) {
  int count = 0;
  for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next())
    count++;
  return count;
}

int ElementDepth(const TiXmlNode* node) {
  int depth = 0;
  for (; node && node->ToElement(); node = node->Parent()) depth++;
  return depth;
}

bool IsWithin(const TiXmlNode* node, const TiXmlNode* ancestor) {
  for (; node; node = node->Parent())
    if (node == ancestor) return true;
  return false;
}

bool ParseInt(const char* text, int* value) {
  char* end;
  errno = 0;
  long parsed = strtol(text, &end, 10);
  if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  *value = (int)parsed;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The document table.

int FreeSlot(sMainPrivate* priv) {
  for (int i = 0; i < kXMLSlots; i++)
    if (!priv->xmlslots[i].document) return i;
  return -1;
}

int TakeSlot(sMainPrivate* priv, int index, TiXmlDocument* document, TiXmlElement* pointed) {
  sXMLSlot& slot = priv->xmlslots[index];
  slot.document = document;
  slot.pointed = pointed;
  slot.stored = NULL;
  return index + 1;
}

sXMLSlot* Slot(sMainPrivate* priv, int h, const char* operation) {
  if (h >= 1 && h <= kXMLSlots && priv->xmlslots[h - 1].document) return &priv->xmlslots[h - 1];
  ILogSystem.Msg(0, " . [Yandorix.%s(%d)] Error: invalid XML handle.\n", operation, h);
  return NULL;
}

// The slot when it also has a pointed element.
sXMLSlot* PointedSlot(sMainPrivate* priv, int h, const char* operation) {
  sXMLSlot* slot = Slot(priv, h, operation);
  if (slot && !slot->pointed) {
    ILogSystem.Msg(0, " . [Yandorix.%s(%d)] Error: there is not an element pointed.\n", operation, h);
    return NULL;
  }
  return slot;
}

TiXmlElement* Pointed(sMainPrivate* priv, int h, const char* operation) {
  sXMLSlot* slot = PointedSlot(priv, h, operation);
  return slot ? slot->pointed : NULL;
}

bool Given(const void* argument, int h, const char* operation) {
  if (!argument) ILogSystem.Msg(0, " . [Yandorix.%s(%d)] Error: a NULL argument was given.\n", operation, h);
  return argument != NULL;
}

bool Acceptable(const char* problem, int h, const char* operation, const char* text) {
  if (problem) ILogSystem.Msg(0, " . [Yandorix.%s(%d)] Error: '%s' %s.\n", operation, h, text, problem);
  return !problem;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Documents.

int Yandorix_Main::XMLOpen(const char* file) {
  if (!file) {
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('(null)')] Error: no file name was given.\n");
    return 0;
  }
  int index = FreeSlot(p);
  if (index < 0) {
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('%s')] Error: reached maximum limit of XML opened(%d)\n", file,
                   (int)kXMLSlots);
    return 0;
  }
  std::string bytes, error;
  TiXmlDocument* document = NULL;
  if (ReadWholeFile(file, &bytes, &error)) document = ParseDocument(&bytes, &error);
  if (!document) {
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('%s')] Error: %s\n", file, error.c_str());
    return 0;
  }
  return TakeSlot(p, index, document, NULL);
}

int Yandorix_Main::XMLOpen(int dpf, const char* name) {
  if (dpf <= 0 || !name) return 0;
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, kOpenNotInitialised, ArchivePath(dpf), name);
    return 0;
  }
  const char* path = ArchivePath(dpf);
  int index = FreeSlot(p);
  if (index < 0) {
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('%s','%s')] Error: reached maximum limit of XML opened(%d)\n", path,
                   name, (int)kXMLSlots);
    return 0;
  }
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  int size = IStuffDPF->LoadBlock(dpf, "FILE", name, &block);
  if (size <= 0 || !block.data) {
    IStuffDPF->FreeBlock(&block);
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('%s','%s')] Error: block not found in the given DPF.\n", path, name);
    return 0;
  }
  std::string bytes, error;
  TiXmlDocument* document = NULL;
  try {
    bytes.reserve((size_t)size + kPadding);
    bytes.assign(block.data, (size_t)size);
    document = ParseDocument(&bytes, &error);
  } catch (const std::bad_alloc&) {
    error = "out of memory.";
  }
  IStuffDPF->FreeBlock(&block);
  if (!document) {
    ILogSystem.Msg(0, " . [Yandorix.XMLOpen('%s','%s')] Error: %s\n", path, name, error.c_str());
    return 0;
  }
  return TakeSlot(p, index, document, NULL);
}

int Yandorix_Main::XMLOpen(const char* dpffile, const char* name) {
  if (!dpffile || !name) return 0;
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, kOpenNotInitialised, dpffile, name);
    return 0;
  }
  int dpf = IStuffDPF->Open(dpffile);
  if (dpf <= 0) return 0;
  int h = XMLOpen(dpf, name);
  IStuffDPF->Close(dpf);
  return h;
}

int Yandorix_Main::XMLCreate(const char* root) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, " . [Yandorix.XMLCreate()] Error: Yandorix was not initialized. Aborting the XML load.\n");
    return 0;
  }
  if (!root) {
    ILogSystem.Msg(0, " . [Yandorix.XMLCreate()] Error: no root name was given.\n");
    return 0;
  }
  int index = FreeSlot(p);
  if (index < 0) {
    ILogSystem.Msg(0, " . [Yandorix.XMLCreate()] Error: reached maximum limit of XML opened(%d)\n", (int)kXMLSlots);
    return 0;
  }
  TiXmlDocument* document = new TiXmlDocument();
  document->LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", "yes"));
  if (const char* problem = NameProblem(document, root)) {
    ILogSystem.Msg(0, " . [Yandorix.XMLCreate()] Error: '%s' %s.\n", root, problem);
    delete document;
    return 0;
  }
  document->LinkEndChild(new TiXmlElement(root));
  TiXmlElement* rootElement = document->RootElement();
  if (document->Error() || !rootElement) {
    ILogSystem.Msg(0, " . [Yandorix.XMLCreate()] Error: %s\n",
                   document->Error() ? document->ErrorDesc() : "the document has no root element.");
    delete document;
    return 0;
  }
  return TakeSlot(p, index, document, rootElement);
}

void Yandorix_Main::XMLClose(int h) {
  if (h < 1 || h > kXMLSlots) return;
  sXMLSlot& slot = p->xmlslots[h - 1];
  delete slot.document;
  slot.document = NULL;
  slot.pointed = NULL;
  slot.stored = NULL;
}

int Yandorix_Main::XMLSave(int h, const char* file) {
  sXMLSlot* slot = Slot(p, h, "XMLSave");
  if (!slot || !Given(file, h, "XMLSave")) return 0;
  MakeDirectory(file);
  std::string bytes;
  ydxplat::ReplaceFile out;
  if (!PrintDocument(slot->document, &bytes) || !out.Begin(file) || !out.Write(bytes.data(), bytes.size()) ||
      !out.Commit()) {
    ILogSystem.Msg(0, " . [Yandorix.XMLSave(%d,'%s')] Error: the file could not be written.\n", h, file);
    return 0;
  }
  return 1;
}

int Yandorix_Main::XMLSave(int h, int dpf, const char* name) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, kSaveNotInitialised, h, ArchivePath(dpf), TextOr(name));
    return 0;
  }
  sXMLSlot* slot = Slot(p, h, "XMLSave");
  if (!slot || dpf <= 0 || !name) return 0;
  if (strlen(name) > kMaxBlockName) {
    ILogSystem.Msg(0, " . [Yandorix.XMLSave(%d,'%s','%s')] Error: the block name is longer than %d characters.\n",
                   h, ArchivePath(dpf), name, (int)kMaxBlockName);
    return 0;
  }
  std::string bytes;
  if (!PrintDocument(slot->document, &bytes) || bytes.size() > kMaxDocument) {
    ILogSystem.Msg(0, " . [Yandorix.XMLSave(%d,'%s','%s')] Error: the document is too large for a block.\n", h,
                   ArchivePath(dpf), name);
    return 0;
  }
  int stored = ReplaceFileBlock(dpf, name, bytes);
  if (stored <= 0)
    ILogSystem.Msg(0, " . [Yandorix.XMLSave(%d,'%s','%s')] Error: the document could not be stored in the DPF.\n",
                   h, ArchivePath(dpf), name);
  return stored;
}

int Yandorix_Main::XMLSave(int h, const char* dpffile, const char* name) {
  if (!Yandorix_IsInitialised()) {
    ILogSystem.Msg(0, kSaveNotInitialised, h, TextOr(dpffile), TextOr(name));
    return 0;
  }
  if (!Slot(p, h, "XMLSave") || !dpffile || !name) return 0;
  int dpf = FileExists(dpffile) ? IStuffDPF->Open(dpffile) : IStuffDPF->Create(dpffile);
  if (dpf <= 0) return 0;
  int result = XMLSave(h, dpf, name);
  IStuffDPF->Close(dpf);
  return result;
}

// ---------------------------------------------------------------------------------------------
// The cursor.

int Yandorix_Main::XMLNodeFirst(int h) {
  sXMLSlot* slot = Slot(p, h, "XMLNodeFirst");
  if (!slot) return 0;
  slot->pointed = slot->document->FirstChildElement();
  return slot->pointed != NULL;
}

int Yandorix_Main::XMLNodeNext(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeNext");
  TiXmlElement* next = slot ? slot->pointed->NextSiblingElement() : NULL;
  if (!next) return 0;
  slot->pointed = next;
  return 1;
}

int Yandorix_Main::XMLNodePrev(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodePrev");
  TiXmlNode* previous = slot ? slot->pointed->PreviousSibling() : NULL;
  if (!previous || !previous->ToElement()) return 0;
  slot->pointed = previous->ToElement();
  return 1;
}

int Yandorix_Main::XMLNodeParent(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeParent");
  TiXmlNode* parent = slot ? slot->pointed->Parent() : NULL;
  if (!parent || !parent->ToElement()) return 0;
  slot->pointed = parent->ToElement();
  return 1;
}

int Yandorix_Main::XMLNodeChild(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeChild");
  TiXmlElement* child = slot ? slot->pointed->FirstChildElement() : NULL;
  if (!child) return 0;
  slot->pointed = child;
  return 1;
}

int Yandorix_Main::XMLNodeStore(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeStore");
  if (!slot) return 0;
  slot->stored = slot->pointed;
  return 1;
}

int Yandorix_Main::XMLNodeRestore(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeRestore");
  if (!slot || !slot->stored) return 0;
  slot->pointed = slot->stored;
  return 1;
}

int Yandorix_Main::XMLNodePointTo(int h, int n, const char* name, ...) {
  sXMLSlot* slot = Slot(p, h, "XMLNodePointTo");
  if (!slot) return 0;
  if (n <= 0 || !name) {
    ILogSystem.Msg(0, " . [Yandorix.XMLNodePointTo(%d)] Error: no element names were given.\n", h);
    return 0;
  }
  va_list names;
  va_start(names, name);
  TiXmlNode* found = slot->document;
  for (int i = 0; i < n && found; i++) {
    const char* step = i == 0 ? name : va_arg(names, const char*);
    found = step ? found->FirstChildElement(step) : NULL;
  }
  va_end(names);
  if (!found) return 0;
  slot->pointed = found->ToElement();
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Editing.

int Yandorix_Main::XMLNodeCreate(int h, const char* name) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeCreate");
  if (!slot || !Given(name, h, "XMLNodeCreate") ||
      !Acceptable(NameProblem(slot->document, name), h, "XMLNodeCreate", name))
    return 0;
  if (ElementDepth(slot->pointed) >= kXMLMaxDepth) {
    ILogSystem.Msg(0, " . [Yandorix.XMLNodeCreate(%d)] Error: elements cannot be nested deeper than %d levels.\n",
                   h, (int)kXMLMaxDepth);
    return 0;
  }
  TiXmlNode* added = slot->pointed->LinkEndChild(new TiXmlElement(name));
  if (!added) return 0;
  slot->pointed = added->ToElement();
  return 1;
}

// The cursor moves to the parent element (none when the root goes); a stored element inside the removed
// branch is forgotten.
int Yandorix_Main::XMLNodeRemove(int h) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeRemove");
  if (!slot) return 0;
  TiXmlElement* doomed = slot->pointed;
  TiXmlNode* parent = doomed->Parent();
  bool storedInside = slot->stored && IsWithin(slot->stored, doomed);
  if (!parent || !parent->RemoveChild(doomed)) return 0;
  if (storedInside) slot->stored = NULL;
  slot->pointed = parent->ToElement();
  return 1;
}

int Yandorix_Main::XMLNodeRename(int h, const char* name) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLNodeRename");
  if (!slot || !Given(name, h, "XMLNodeRename") ||
      !Acceptable(NameProblem(slot->document, name), h, "XMLNodeRename", name))
    return 0;
  slot->pointed->SetValue(name);
  return 1;
}

char* Yandorix_Main::XMLNodeGetName(int h) {
  TiXmlElement* element = Pointed(p, h, "XMLNodeGetName");
  return element ? const_cast<char*>(element->Value()) : NULL;
}

int Yandorix_Main::XMLAttributeSet(int h, const char* name, const char* value) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLAttributeSet");
  if (!slot || !Given(name, h, "XMLAttributeSet") || !Given(value, h, "XMLAttributeSet") ||
      !Acceptable(NameProblem(slot->document, name), h, "XMLAttributeSet", name) ||
      !Acceptable(TextProblem(slot->document, value), h, "XMLAttributeSet", value))
    return 0;
  if (!slot->pointed->Attribute(name) && AttributeCount(slot->pointed) >= kXMLMaxAttributes) {
    ILogSystem.Msg(0, " . [Yandorix.XMLAttributeSet(%d)] Error: an element cannot hold more than %d attributes.\n",
                   h, (int)kXMLMaxAttributes);
    return 0;
  }
  slot->pointed->SetAttribute(name, value);
  return 1;
}

int Yandorix_Main::XMLAttributeSet(int h, const char* name, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  return XMLAttributeSet(h, name, text);
}

// The shortest text that reads back as the same number: 0.1 is written "0.1", not with 17 digits.
template <typename Number>
static int SetNumberAttribute(Yandorix_Main& main, int h, const char* name, Number value) {
  char text[64];
  std::to_chars_result written = std::to_chars(text, text + sizeof text - 1, value);
  *written.ptr = '\0';
  return main.XMLAttributeSet(h, name, text);
}

int Yandorix_Main::XMLAttributeSet(int h, const char* name, double value) {
  return SetNumberAttribute(*this, h, name, value);
}

int Yandorix_Main::XMLAttributeSet(int h, const char* name, float value) {
  return SetNumberAttribute(*this, h, name, value);
}

int Yandorix_Main::XMLAttributeGet(int h, const char* name, char** value) {
  const char* text = NULL;
  int found = XMLAttributeGet(h, name, value ? &text : NULL);
  if (value) *value = const_cast<char*>(text);
  return found;
}

int Yandorix_Main::XMLAttributeGet(int h, const char* name, const char** value) {
  TiXmlElement* element = Pointed(p, h, "XMLAttributeGet");
  if (!element || !Given(name, h, "XMLAttributeGet") || !Given(value, h, "XMLAttributeGet")) return 0;
  *value = element->Attribute(name);
  return *value != NULL;
}

// Decimal, as far as the digits go ("12abc" is 12); out of the int range is no number.
int Yandorix_Main::XMLAttributeGet(int h, const char* name, int* value) {
  TiXmlElement* element = Pointed(p, h, "XMLAttributeGet");
  if (!element || !Given(name, h, "XMLAttributeGet") || !Given(value, h, "XMLAttributeGet")) return 0;
  const char* text = element->Attribute(name);
  return text && ParseInt(text, value);
}

int Yandorix_Main::XMLAttributeGet(int h, const char* name, double* value) {
  TiXmlElement* element = Pointed(p, h, "XMLAttributeGet");
  if (!element || !Given(name, h, "XMLAttributeGet") || !Given(value, h, "XMLAttributeGet")) return 0;
  return element->QueryDoubleAttribute(name, value) == TIXML_SUCCESS;
}

int Yandorix_Main::XMLAttributeRemove(int h, const char* name) {
  TiXmlElement* element = Pointed(p, h, "XMLAttributeRemove");
  if (!element || !Given(name, h, "XMLAttributeRemove")) return 0;
  element->RemoveAttribute(name);
  return 1;
}

char* Yandorix_Main::XMLTextGet(int h) {
  TiXmlElement* element = Pointed(p, h, "XMLTextGet");
  TiXmlText* text = element ? FirstText(element) : NULL;
  return text ? const_cast<char*>(text->Value()) : NULL;
}

int Yandorix_Main::XMLTextSet(int h, const char* text) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLTextSet");
  if (!slot || !Given(text, h, "XMLTextSet") ||
      !Acceptable(TextProblem(slot->document, text), h, "XMLTextSet", text))
    return 0;
  TiXmlText* existing = FirstText(slot->pointed);
  if (!existing) {
    slot->pointed->LinkEndChild(new TiXmlText(text));
    return 1;
  }
  std::string joined = existing->ValueStr() + text;
  // A CDATA section is written as it is and ends at the first "]]>".
  if (existing->CDATA() && joined.find("]]>") != std::string::npos) {
    Acceptable("would close the CDATA section it is added to", h, "XMLTextSet", text);
    return 0;
  }
  existing->SetValue(joined);
  return 1;
}

int Yandorix_Main::XMLTextRemove(int h) {
  TiXmlElement* element = Pointed(p, h, "XMLTextRemove");
  TiXmlText* text = element ? FirstText(element) : NULL;
  return text && element->RemoveChild(text) ? 1 : 0;
}

char* Yandorix_Main::XMLCommentGet(int h) {
  TiXmlElement* element = Pointed(p, h, "XMLCommentGet");
  TiXmlComment* comment = element ? FirstComment(element) : NULL;
  return comment ? const_cast<char*>(comment->Value()) : NULL;
}

int Yandorix_Main::XMLCommentSet(int h, const char* text) {
  sXMLSlot* slot = PointedSlot(p, h, "XMLCommentSet");
  if (!slot || !Given(text, h, "XMLCommentSet") ||
      !Acceptable(CommentProblem(slot->document, text), h, "XMLCommentSet", text))
    return 0;
  TiXmlComment comment;
  comment.SetValue(text);
  TiXmlNode* first = slot->pointed->FirstChild();
  TiXmlNode* added = first ? slot->pointed->InsertBeforeChild(first, comment)
                           : slot->pointed->InsertEndChild(comment);
  return added != NULL;
}

int Yandorix_Main::XMLCommentRemove(int h) {
  TiXmlElement* element = Pointed(p, h, "XMLCommentRemove");
  TiXmlComment* comment = element ? FirstComment(element) : NULL;
  return comment && element->RemoveChild(comment) ? 1 : 0;
}
