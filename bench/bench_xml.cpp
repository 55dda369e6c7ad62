// Loading and saving a 5 MB level-like document (a 1000x1000 CSV layer and many small elements)
// through the XML interface, from a file and from an archive, against TinyXML used directly.
#include "Ratio.h"
#include <Yandorix.h>
#include <tinyxml.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kFile[] = "bench.xml";
const char kArchive[] = "bench.dpf";

// Builds the document once, with TinyXML, and starts the library.
bool Ready() {
  static bool ready = false;
  if (ready) return true;
  if (Yandorix.Init(SDL_INIT_TIMER) != 1) return false;
  TiXmlDocument document;
  document.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", "yes"));
  TiXmlElement* map = new TiXmlElement("map");
  document.LinkEndChild(map);
  std::string csv;
  csv.reserve(4200000);
  char cell[16];
  for (int y = 0; y < 1000; y++)
    for (int x = 0; x < 1000; x++) {
      snprintf(cell, sizeof cell, "%d,", (x * 7 + y * 13) % 1024);
      csv += cell;
    }
  TiXmlElement* layer = new TiXmlElement("layer");
  layer->SetAttribute("name", "ground");
  TiXmlElement* data = new TiXmlElement("data");
  data->SetAttribute("encoding", "csv");
  data->LinkEndChild(new TiXmlText(csv));
  layer->LinkEndChild(data);
  map->LinkEndChild(layer);
  TiXmlElement* objects = new TiXmlElement("objectgroup");
  map->LinkEndChild(objects);
  for (int i = 0; i < 20000; i++) {
    TiXmlElement* object = new TiXmlElement("object");
    object->SetAttribute("id", i);
    object->SetAttribute("x", i % 640);
    object->SetDoubleAttribute("y", i * 0.5);
    object->SetAttribute("type", "pickup");
    objects->LinkEndChild(object);
  }
  ready = document.SaveFile(kFile);
  return ready;
}

bool ArchiveReady() {
  static int state = 0;   // 0 unknown, 1 ready, -1 no archive service
  if (state) return state > 0;
  state = -1;
  int h = Yandorix.XMLOpen(kFile);
  int dpf = IStuffDPF->Create(kArchive);
  if (h && dpf > 0 && Yandorix.XMLSave(h, dpf, "bench") > 0) state = 1;
  if (dpf > 0) IStuffDPF->Close(dpf);
  Yandorix.XMLClose(h);
  return state > 0;
}

void OursLoadFile(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("set-up failed");
  for (auto _ : state) {
    int h = Yandorix.XMLOpen(kFile);
    if (!h) return state.SkipWithError("XMLOpen failed");
    Yandorix.XMLClose(h);
  }
}

void TinyLoadFile(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("set-up failed");
  for (auto _ : state) {
    TiXmlDocument document;
    if (!document.LoadFile(kFile)) return state.SkipWithError("LoadFile failed");
  }
}

void OursSaveFile(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("set-up failed");
  int h = Yandorix.XMLOpen(kFile);
  for (auto _ : state)
    if (!Yandorix.XMLSave(h, "ours.xml")) return state.SkipWithError("XMLSave failed");
  Yandorix.XMLClose(h);
}

void TinySaveFile(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("set-up failed");
  TiXmlDocument document;
  document.LoadFile(kFile);
  for (auto _ : state)
    if (!document.SaveFile("tiny.xml")) return state.SkipWithError("SaveFile failed");
}

void OursLoadArchive(benchmark::State& state) {
  if (!Ready() || !ArchiveReady()) return state.SkipWithError("archive service not built");
  int dpf = IStuffDPF->Open(kArchive);
  for (auto _ : state) {
    int h = Yandorix.XMLOpen(dpf, "bench");
    if (!h) return state.SkipWithError("XMLOpen failed");
    Yandorix.XMLClose(h);
  }
  IStuffDPF->Close(dpf);
}

void TinyLoadArchive(benchmark::State& state) {
  if (!Ready() || !ArchiveReady()) return state.SkipWithError("archive service not built");
  int dpf = IStuffDPF->Open(kArchive);
  for (auto _ : state) {
    DPF_BlockData block;
    int size = IStuffDPF->LoadBlock(dpf, "FILE", "bench", &block);
    std::string text(block.data, (size_t)size);
    IStuffDPF->FreeBlock(&block);
    TiXmlDocument document;
    document.Parse(text.c_str());
    if (document.Error()) return state.SkipWithError("Parse failed");
  }
  IStuffDPF->Close(dpf);
}

void OursSaveArchive(benchmark::State& state) {
  if (!Ready() || !ArchiveReady()) return state.SkipWithError("archive service not built");
  int h = Yandorix.XMLOpen(kFile);
  int dpf = IStuffDPF->Create("ours.dpf");
  for (auto _ : state)
    if (Yandorix.XMLSave(h, dpf, "bench") <= 0) return state.SkipWithError("XMLSave failed");
  IStuffDPF->Close(dpf);
  Yandorix.XMLClose(h);
}

// Printing in memory and replacing the block, the least any archive save does.
void TinySaveArchive(benchmark::State& state) {
  if (!Ready() || !ArchiveReady()) return state.SkipWithError("archive service not built");
  TiXmlDocument document;
  document.LoadFile(kFile);
  int dpf = IStuffDPF->Create("tiny.dpf");
  for (auto _ : state) {
    TiXmlPrinter printer;
    document.Accept(&printer);
    std::string bytes = printer.Str();
    DPF_BlockData block;
    memset(&block, 0, sizeof block);
    strcpy(block.name, "bench");
    strcpy(block.type, "FILE");
    IStuffDPF->Delete(dpf, &block);
    block.size = (int)bytes.size();
    block.data = &bytes[0];
    if (IStuffDPF->AddData(dpf, &block) <= 0) return state.SkipWithError("AddData failed");
  }
  IStuffDPF->Close(dpf);
}

int registered = [] {
  benchmark::RegisterBenchmark("ours/load_file", OursLoadFile)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tinyxml/load_file", TinyLoadFile)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ours/save_file", OursSaveFile)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tinyxml/save_file", TinySaveFile)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ours/load_archive", OursLoadArchive)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tinyxml/load_archive", TinyLoadArchive)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ours/save_archive", OursSaveArchive)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("tinyxml/save_archive", TinySaveArchive)->Unit(benchmark::kMillisecond);
  ydxbench::Ratio("ours/load_file", "tinyxml/load_file");
  ydxbench::Ratio("ours/save_file", "tinyxml/save_file");
  ydxbench::Ratio("ours/load_archive", "tinyxml/load_archive");
  ydxbench::Ratio("ours/save_archive", "tinyxml/save_archive");
  return 0;
}();

}  // namespace

YDX_BENCH_MAIN()
