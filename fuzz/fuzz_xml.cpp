// Fuzz target for XML documents from outside bytes: opens them as a file and, once archives can be
// created, as an archive "FILE" block, then walks, edits, saves and reopens them. It also holds the
// well-formedness check to agreeing with TinyXML's parser on what it accepts, and names and texts
// the library accepted for writing to coming back from the saved file as they were.
#include "FuzzSupport.h"
#include <Yandorix.h>
#include "00_Platform.h"
#include "15_XML.h"
#include <tinyxml.h>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Files of this process, so that parallel fuzz workers sharing a directory stay apart.
std::string Path(const char* name) { return "fuzz" + std::to_string(getpid()) + "-" + name; }

struct Shape {
  int depth = 0, attributes = 0;
};

// The deepest element nesting and the most attributes on one element of a tree.
void TreeShape(const TiXmlNode* node, int depth, Shape* shape) {
  for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
    const TiXmlElement* element = child->ToElement();
    if (!element) continue;
    int attributes = 0;
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) attributes++;
    if (depth + 1 > shape->depth) shape->depth = depth + 1;
    if (attributes > shape->attributes) shape->attributes = attributes;
    TreeShape(child, depth + 1, shape);
  }
}

// A text the check accepts, the parser reads to its end without an error, into a tree exactly as deep
// and as wide as the check found: the check alone guards the parser's stack and time.
void CheckAgreesWithParser(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size), error;
  if (!XMLToUTF8(&text, &error)) return;
  XMLPrepareText(&text);
  XMLScan scan = XMLCheck(text.c_str());
  if (!scan.problem.empty()) return;
  for (size_t blank : scan.attributeBlanks) text[blank] = ' ';
  TiXmlDocument document;
  const char* stop = document.Parse(text.c_str(), NULL, TIXML_ENCODING_UTF8);
  if ((stop && *stop) || document.Error()) abort();
  Shape parsed;
  TreeShape(&document, 0, &parsed);
  if (parsed.depth != scan.depth || parsed.attributes != scan.attributes) abort();
}

// Visits every element depth first, reading what the cursor offers.
void Walk(int h) {
  if (!Yandorix.XMLNodeFirst(h)) return;
  for (int steps = 0; steps < 4000; steps++) {
    const char* text;
    int number;
    double real;
    Yandorix.XMLNodeGetName(h);
    Yandorix.XMLTextGet(h);
    Yandorix.XMLCommentGet(h);
    Yandorix.XMLAttributeGet(h, "id", &text);
    Yandorix.XMLAttributeGet(h, "x", &number);
    Yandorix.XMLAttributeGet(h, "y", &real);
    if (Yandorix.XMLNodeChild(h)) continue;
    while (!Yandorix.XMLNodeNext(h))
      if (!Yandorix.XMLNodeParent(h)) return;
  }
}

void Edit(int h) {
  if (!Yandorix.XMLNodeFirst(h)) return;
  Yandorix.XMLNodeStore(h);
  if (Yandorix.XMLNodeChild(h)) {
    Yandorix.XMLNodeStore(h);
    Yandorix.XMLNodeRemove(h);
    Yandorix.XMLNodeRestore(h);
  }
  Yandorix.XMLNodeCreate(h, "added");
  Yandorix.XMLAttributeSet(h, "x", 12);
  Yandorix.XMLAttributeSet(h, "y", 0.1);
  Yandorix.XMLTextSet(h, "text");
  Yandorix.XMLCommentSet(h, "note");
  Yandorix.XMLNodePrev(h);
  Yandorix.XMLNodeParent(h);
  Yandorix.XMLTextSet(h, "more");
  Yandorix.XMLTextRemove(h);
  Yandorix.XMLCommentRemove(h);
}

void ExerciseAndSave(int h) {
  Walk(h);
  Edit(h);
  if (!Yandorix.XMLSave(h, Path("copy.xml").c_str())) abort();
  Yandorix.XMLClose(h);
  int again = Yandorix.XMLOpen(Path("copy.xml").c_str());
  if (!again) abort();   // whatever is saved is well-formed and reads back
  Walk(again);
  Yandorix.XMLClose(again);
}

void FromArchive(const uint8_t* data, size_t size) {
  int dpf = IStuffDPF->Create(Path("archive.dpf").c_str());
  if (dpf <= 0) return;
  DPF_BlockData block;
  memset(&block, 0, sizeof block);
  strcpy(block.name, "doc");
  strcpy(block.type, "FILE");
  block.mode = 1;
  block.size = (int)size;
  std::vector<char> bytes(data, data + size);
  block.data = bytes.data();
  if (size && IStuffDPF->AddData(dpf, &block) > 0) {
    int h = Yandorix.XMLOpen(dpf, "doc");
    if (h) {
      Walk(h);
      Edit(h);
      Yandorix.XMLSave(h, dpf, "doc");
      Yandorix.XMLClose(h);
    }
  }
  IStuffDPF->Close(dpf);
  ydxplat::Remove(Path("archive.dpf").c_str());
}

// What the text becomes after a save and load: TinyXML drops leading and trailing blanks (and a
// byte-order mark in front) and joins runs of blanks; other white space is written as references.
// A text of white space only is dropped.
std::string Condensed(const std::string& text) {
  size_t start = 0;
  for (;;) {
    if (start < text.size() && text[start] == ' ') start++;
    else if (text.compare(start, 3, "\xEF\xBB\xBF") == 0) start += 3;
    else break;
  }
  std::string out;
  bool blank = false;
  for (size_t i = start; i < text.size(); i++) {
    if (text[i] == ' ') {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += text[i];
  }
  for (char c : out)
    if (!isspace((unsigned char)c)) return out;
  return "";
}

void Require(bool condition) {
  if (!condition) abort();
}

bool Same(const char* read, const std::string& written) { return read && written == read; }

// Pieces of the input used as names and texts; whatever the library accepts must come back.
void CheckAcceptedTextsComeBack(const uint8_t* data, size_t size) {
  std::vector<std::string> piece(5);
  size_t k = 0;
  for (size_t i = 0; i < size && k < piece.size(); i++) {
    if (data[i] == 0xFF) k++;
    else if (data[i]) piece[k] += (char)data[i];
  }
  int h = Yandorix.XMLCreate("fuzz");
  if (!h) return;
  bool named = Yandorix.XMLNodeCreate(h, piece[0].c_str()) == 1;
  bool attribute = Yandorix.XMLAttributeSet(h, piece[1].c_str(), piece[2].c_str()) == 1;
  bool text = Yandorix.XMLTextSet(h, piece[3].c_str()) == 1;
  bool comment = Yandorix.XMLCommentSet(h, piece[4].c_str()) == 1;
  Require(Yandorix.XMLSave(h, Path("made.xml").c_str()) == 1);
  Yandorix.XMLClose(h);
  int back = Yandorix.XMLOpen(Path("made.xml").c_str());
  Require(back && Yandorix.XMLNodePointTo(back, 1, "fuzz"));
  if (named) Require(Yandorix.XMLNodeChild(back) && Same(Yandorix.XMLNodeGetName(back), piece[0]));
  const char* value = NULL;
  if (attribute)
    Require(Yandorix.XMLAttributeGet(back, piece[1].c_str(), &value) && Same(value, piece[2]));
  if (text) {
    std::string expected = Condensed(piece[3]);
    const char* read = Yandorix.XMLTextGet(back);
    Require(expected.empty() ? !read || !*read : Same(read, expected));
  }
  if (comment) {   // comments are written as they are, so their line ends are read back as LF
    std::string expected = XMLPrepareText(piece[4].data(), piece[4].size());
    Require(Same(Yandorix.XMLCommentGet(back), expected.c_str()));
  }
  Yandorix.XMLClose(back);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ydxfuzz::StartLibrary(SDL_INIT_TIMER);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckAgreesWithParser(data, size);
  FILE* file = fopen(Path("in.xml").c_str(), "wb");
  if (!file) return 0;
  if (size) fwrite(data, 1, size, file);
  fclose(file);
  int h = Yandorix.XMLOpen(Path("in.xml").c_str());
  if (h) ExerciseAndSave(h);
  FromArchive(data, size);
  CheckAcceptedTextsComeBack(data, size);
  // Nothing of a run stays behind in the working directory.
  for (const char* name : {"in.xml", "copy.xml", "made.xml"}) ydxplat::Remove(Path(name).c_str());
  return 0;
}
