// Compile-time check of the archive interface as an application writes against it: every operation of
// the archive service and every field of the block record, with their own argument and result types.
// Never run; building and linking is the test.
#include <gtest/gtest.h>
#include <Yandorix.h>

void CallArchiveInterface() {
  int handle = IStuffDPF->Create((char*)"saves/game.dpf");
  handle += IStuffDPF->Open((char*)"saves/game.dpf");
  int result = IStuffDPF->Flush(handle);
  char* path = IStuffDPF->GetFilename(handle);
  char* signature = IStuffDPF->GetName();
  char* copyright = IStuffDPF->GetCopyright();
  char* created = IStuffDPF->GetCreateDate();
  char* modified = IStuffDPF->GetLastModified();
  result += IStuffDPF->IsProtected();

  DPF_BlockData block;
  char* name = block.name;
  char* type = block.type;
  unsigned char mode = block.mode;
  int size = block.size;
  int storedsize = block.storedsize;
  char* data = block.data;
  result += IStuffDPF->FindFirst(handle, &block) + IStuffDPF->FindNext(handle, &block);
  result += IStuffDPF->Search(handle, &block);
  result += IStuffDPF->LoadBlock(handle, (char*)"FILE", (char*)"readme.txt", &block);
  result += IStuffDPF->FreeBlock(&block);
  result += IStuffDPF->AddData(handle, &block);
  result += IStuffDPF->AddFile(handle, (char*)"readme.txt");
  result += IStuffDPF->Delete(handle, &block);
  IStuffDPF->SetAccessMode(1);
  result += IStuffDPF->GetSize(handle) + IStuffDPF->GetNumBlocks(handle) + IStuffDPF->GetNumDelBlocks(handle);
  result += IStuffDPF->GetFragment(handle);
  IStuffDPF->Close(handle);

  unsigned char key[] = "a password";
  IStuffDPF->SetPassword(key, 10);
  result += IStuffDPF->Protect((char*)"saves/game.dpf", key, 10);
  result += IStuffDPF->UnProtect((char*)"saves/game_secure.dpf", key, 10);
  result += IStuffDPF->Compact((char*)"saves/game.dpf");
  ILogSystem.Msg(0, "%d %s %s %s %s %s %s %s %d %d %d %p\n", result, path, signature, copyright, created, modified,
                 name, type, mode, size, storedsize, (void*)data);
}

TEST(Interface, Archives) { SUCCEED(); }
