// DPF archives. (Stand-in until the component is built: every operation refuses.)
#include "01_Main.h"

struct sStuffDPFPrivate {
  int unused;
};

Yandorix_IStuffDPF::Yandorix_IStuffDPF() {
  p = new sStuffDPFPrivate();
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz created.\n");
}

Yandorix_IStuffDPF::~Yandorix_IStuffDPF() {
  delete p;
  ILogSystem.Msg(5, " . [IStuffDPF] Interfaz deleted.\n");
}


// Every operation refuses until the archive component is built.
int Yandorix_IStuffDPF::Open(const char*) { return -1; }
int Yandorix_IStuffDPF::Create(const char*) { return -1; }
void Yandorix_IStuffDPF::Close(int) {}
int Yandorix_IStuffDPF::Flush(int) { return 0; }
const char* Yandorix_IStuffDPF::GetFilename(int) { return NULL; }
const char* Yandorix_IStuffDPF::GetName() { return ""; }
const char* Yandorix_IStuffDPF::GetCopyright() { return ""; }
const char* Yandorix_IStuffDPF::GetCreateDate() { return ""; }
const char* Yandorix_IStuffDPF::GetLastModified() { return ""; }
int Yandorix_IStuffDPF::IsProtected() { return 0; }
int Yandorix_IStuffDPF::FindFirst(int, DPF_BlockData*) { return 2; }
int Yandorix_IStuffDPF::FindNext(int, DPF_BlockData*) { return 2; }
int Yandorix_IStuffDPF::Search(int, DPF_BlockData*) { return 2; }
int Yandorix_IStuffDPF::LoadBlock(int, const char*, const char*, DPF_BlockData*) { return 0; }
int Yandorix_IStuffDPF::FreeBlock(DPF_BlockData* block) {
  if (block && block->data) {
    delete[] block->data;
    block->data = NULL;
  }
  return 1;
}
int Yandorix_IStuffDPF::AddData(int, DPF_BlockData*) { return 0; }
int Yandorix_IStuffDPF::AddFile(int, const char*) { return 0; }
int Yandorix_IStuffDPF::Delete(int, DPF_BlockData*) { return 0; }
void Yandorix_IStuffDPF::SetAccessMode(char) {}
void Yandorix_IStuffDPF::SetPassword(const unsigned char*, unsigned char) {}
int Yandorix_IStuffDPF::Protect(const char*, const unsigned char*, unsigned char) { return 0; }
int Yandorix_IStuffDPF::UnProtect(const char*, const unsigned char*, unsigned char) { return 0; }
int Yandorix_IStuffDPF::Compact(const char*) { return 0; }
int Yandorix_IStuffDPF::GetSize(int) { return 0; }
int Yandorix_IStuffDPF::GetNumBlocks(int) { return -1; }
int Yandorix_IStuffDPF::GetNumDelBlocks(int) { return -1; }
int Yandorix_IStuffDPF::GetFragment(int) { return 0; }
