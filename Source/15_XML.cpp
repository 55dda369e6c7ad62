// XML documents behind handles 1..10: open from files and archive "FILE" blocks, walk the elements with
// a cursor, edit names, attributes, texts and comments, save to files and archive blocks. TinyXML
// parses, holds and prints the documents; outside bytes are made UTF-8 and checked (15_XMLScan.cpp)
// before it sees them, and what it prints is kept well-formed.
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
#include <strings.h>
#include <utility>
#include <vector>

namespace {

const size_t kMaxDocument = 0x7fffffff;
const size_t kMaxBlockName = 31;  // what an archive block name field holds
const char kOpenNotInitialised[] =
    " . [Yandorix.XMLOpen('%s','%s')] Error: Yandorix was not initialized. Aborting the XML load.\n";
const char kSaveNotInitialised[] =
    " . [Yandorix.XMLSave(%d,'%s','%s')] Error: Yandorix was not initialized. Aborting the XML save.\n";

// TinyXML's own error texts (a protected table of its base class).
struct ParserTexts : TiXmlBase {
  static const char* Of(int code) { return errorString[code]; }
};

// ---------------------------------------------------------------------------------------------
// Documents in.

// The parser takes a NUL byte for the end of the document. NULs and white space may end a file; a NUL
// with more of the document after it would leave a handle to its first part only.
bool EndsAtNul(const std::string& bytes) {
  size_t nul = bytes.find('\0');
  return nul != std::string::npos && bytes.find_first_not_of(std::string(" \t\r\n\0", 5), nul) != std::string::npos;
}

// The tree holds UTF-8 whatever the file was in, and says so when it is saved.
void DeclareUTF8(TiXmlDocument* document) {
  TiXmlDeclaration* declaration = document->FirstChild() ? document->FirstChild()->ToDeclaration() : NULL;
  if (!declaration || !*declaration->Encoding() || strcasecmp(declaration->Encoding(), "UTF-8") == 0 ||
      strcasecmp(declaration->Encoding(), "UTF8") == 0)
    return;
  TiXmlDeclaration utf8(declaration->Version(), "UTF-8", declaration->Standalone());
  document->ReplaceChild(declaration, utf8);
}

// TinyXML reads a processing instruction whose target begins with "xml" as a declaration, which it
// would write back as "<?xml ?>": each becomes a node that keeps its text. Every declaration node but
// the document's own (`own`) is one of them, met in the order of `texts`.
void KeepInstructions(TiXmlNode* node, const TiXmlNode* own, const std::vector<std::string>& texts, size_t* next) {
  for (TiXmlNode* child = node->FirstChild(); child && *next < texts.size(); child = child->NextSibling()) {
    if (child->ToDeclaration() && child != own) {
      TiXmlUnknown kept;
      kept.SetValue(texts[(*next)++]);
      child = node->ReplaceChild(child, kept);
    } else if (child->ToElement()) {
      KeepInstructions(child, own, texts, next);
    }
  }
}

// Parses a document's bytes (converted and prepared in place); NULL with the reason when it is refused.
TiXmlDocument* ParseDocument(std::string* bytes, std::string* error) {
  if (!XMLToUTF8(bytes, error)) return NULL;
  bool cutAtNul = EndsAtNul(*bytes);
  XMLPrepareText(bytes);
  std::string& text = *bytes;
  if (cutAtNul) {
    *error = XMLWhere(text.c_str(), text.c_str() + strlen(text.c_str())) +
             ": the document holds a NUL byte, which the XML reader takes for its end.";
    return NULL;
  }
  XMLScan scan = XMLCheck(text.c_str());
  if (!scan.problem.empty()) {
    *error = XMLWhere(text.c_str(), scan.at) + ": " + scan.problem + ".";
    return NULL;
  }
  for (size_t blank : scan.attributeBlanks) text[blank] = ' ';   // XML reads them as spaces
  TiXmlDocument* document = NULL;
  const char* stop = NULL;
  try {
    document = new TiXmlDocument();
    document->SetTabSize(1);   // columns count characters, as in the check's reasons
    stop = document->Parse(text.c_str(), NULL, TIXML_ENCODING_UTF8);
  } catch (const std::bad_alloc&) {
    delete document;
    *error = "out of memory.";
    return NULL;
  }
  // The check refuses all the parser would; should the parser still find fault, its place is given.
  // The parser returns NULL when it read to the end.
  if (document->Error() || (stop && *stop) || !document->RootElement()) {
    char place[48];
    snprintf(place, sizeof place, "line %d, column %d", document->ErrorRow(), document->ErrorCol());
    const char* end = text.c_str() + strlen(text.c_str());
    *error = (document->ErrorRow() > 0 ? std::string(place) : XMLWhere(text.c_str(), stop ? stop : end)) + ": " +
             (document->Error() ? document->ErrorDesc() : "the XML reader cannot read the document whole.");
    delete document;
    return NULL;
  }
  DeclareUTF8(document);
  size_t kept = 0;
  if (!scan.xmlInstructions.empty())
    KeepInstructions(document, scan.declared ? document->FirstChild() : NULL, scan.xmlInstructions, &kept);
  return document;
}

// The whole file, or false with TinyXML's own text for a file it could not have read either.
bool ReadWholeFile(const char* path, std::string* bytes, std::string* error) {
  int fd = ydxplat::Open(path, ydxplat::kRead);
  if (fd < 0) {
    *error = ParserTexts::Of(TiXmlBase::TIXML_ERROR_OPENING_FILE);
    return false;
  }
  int64_t length = ydxplat::FileLength(fd);
  bool ok = length >= 0 && (uint64_t)length <= kMaxDocument;
  if (ok) {
    try {
      bytes->reserve((size_t)length + kXMLPadding);
      bytes->resize((size_t)length);
      ok = ydxplat::Read(fd, &(*bytes)[0], (size_t)length) == length;
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  ydxplat::Close(fd);
  if (!ok) *error = ParserTexts::Of(TiXmlBase::TIXML_ERROR_OPENING_FILE);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Documents out.

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
// What the library agrees to write: texts every XML reader takes back as they were. Texts and
// attribute values are escaped as TinyXML writes them; they need only be characters XML carries.

// Names TinyXML reads back and other parsers accept.
const char* NameProblem(const char* name) {
  if (XMLIsName(name)) return NULL;
  const char* characters = XMLCharacterProblem(name);
  return characters ? characters : "is not a valid XML name";
}

// A comment ends at the first "--"; one ending in '-' would run into its own terminator.
const char* CommentProblem(const char* text) {
  size_t length = strlen(text);
  if (strstr(text, "--") || (length && text[length - 1] == '-')) return "holds \"--\" or ends in '-'";
  return XMLCharacterProblem(text);  // written as it is, not escaped
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

// A document without a root element is no XML document: it is not written.
bool HasRoot(const sXMLSlot* slot, int h) {
  if (slot->document->RootElement()) return true;
  ILogSystem.Msg(0, " . [Yandorix.XMLSave(%d)] Error: the document has no root element, so it is not written.\n", h);
  return false;
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
    bytes.reserve((size_t)size + kXMLPadding);
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
  if (const char* problem = NameProblem(root)) {
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
  if (!slot || !Given(file, h, "XMLSave") || !HasRoot(slot, h)) return 0;
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
  if (!slot || dpf <= 0 || !name || !HasRoot(slot, h)) return 0;
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
      !Acceptable(NameProblem(name), h, "XMLNodeCreate", name))
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
      !Acceptable(NameProblem(name), h, "XMLNodeRename", name))
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
      !Acceptable(NameProblem(name), h, "XMLAttributeSet", name) ||
      !Acceptable(XMLCharacterProblem(value), h, "XMLAttributeSet", value))
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
      !Acceptable(XMLCharacterProblem(text), h, "XMLTextSet", text))
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
      !Acceptable(CommentProblem(text), h, "XMLCommentSet", text))
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
