// Compile-time check of the cursor and button interface as an application writes against it: every
// operation called and every description field read with its own argument and result types. Never
// run; building and linking is the test.
#include <gtest/gtest.h>
#include <Yandorix.h>

static void OnClick(void*, void*) {}

static int CallCursor(SDL_Surface* image) {
  ICursor->Init();
  int slot = ICursor->Create(image, 4) + ICursor->Create((char*)"arrow.bmp", 0);
  slot += ICursor->Load((char*)"data.dpf", (char*)"arrow", 1) + ICursor->Load(1, (char*)"arrow", 2);
  ICursor->Select(0);
  ICursor->ChangeType(0, 3);
  ICursor->Show();
  ICursor->Hide();
  ICursor->SetPosition(10, 20);
  ICursor->AutoRestore(1);
  ICursor->SetSmooth(0);
  ICursor->ClipRegion(0, 0, 640, 480);
  ICursor->CopyBG();
  SDL_Rect area = {0, 0, 8, 8};
  int restored = ICursor->RestoreBG(&area) + ICursor->RestoreBG(NULL);
  ICursor->Invalidate();
  ICursor->SaveCoordinates(1, 2);
  ICursor->Update();
  ICursor->Info();
  ICursor->Delete(0);
  ICursor->Close();
  return slot + restored;
}

static int CallButtons(Yandorix_CFont* font) {
  IButtonNew desc;
  desc.callback = OnClick;
  desc.key = SDLK_RETURN;
  desc.type = 1;
  desc.colorselect = 0xFFFFFF;
  desc.x = 10;
  desc.y = 20;
  desc.range = 0;
  desc.value = 0;
  int id = IButton->Create(&desc, (char*)"ok", 0, 1) + IButton->Create(&desc, (char*)"ok", 1, (char*)"gui.dpf");
  id += IButton->Clone(1000) + IButton->Remove(1) + IButton->RemoveAll() + IButton->RemoveMaster(-1);
  IButton->SetLayer(1);
  IButton->SetLayerVisibility(1, 1);
  id += IButton->GetLayer() + IButton->GetLayerVisibility(1) + IButton->GetNum();
  id += IButton->Update() + IButton->Draw() + IButton->Check() + IButton->WhoIsSelected();
  IButton->ForceDraw();
  IButton->SetState(1, 16);
  id += IButton->GetState(1);
  IButton->SetPosition(1, 5, 5);
  IButton->SetAlpha(1, 0, 128);
  IButton->SetColorKey(1, 1, -1);
  IButton->SetColorKey(1, 4, 255, 0, 255);
  id += IButton->GetAlpha(1, 1) + IButton->GetColorKey(1, 16);
  SDL_Surface* surface = IButton->GetSurface(1, 2);
  IButton->SetFunction(1, OnClick, NULL, font);
  IButton->SetValue(1, 3);
  id += IButton->GetValue(1) + IButton->GetRange(1);
  IButton->SetVisible(1, 0);
  IButton->SetMouseButtons(1, 5);
  id += IButton->GetMouseButtons(1);
  IButton->SetKey(1, SDLK_SPACE);
  id += IButton->GetKey(1);
  IButton->SetColorSelect(1, 0xFF00FF);
  IButton->SetColorSelect(1, 255, 0, 255);
  id += IButton->GetColorSelect(1);
  char* name = IButton->GetName(1);
  IButton->SetName(1, (char*)"renamed");
  IButton->SetTextFont(1, font);
  SDL_Rect text = {2, 2, 60, 12};
  IButton->SetTextRect(1, &text);
  IButton->SetText(1, (char*)"hello");
  char* typed = IButton->GetText(1);

  IButtonNew stored;
  id += IButton->Save(1, (char*)"ok", &desc) + IButton->Save((char*)"gui.dpf", (char*)"ok", &desc);
  id += IButton->Load(1, (char*)"ok", 0) + IButton->Load((char*)"gui.dpf", (char*)"ok", 1);
  id += IButton->LoadHeader(1, (char*)"ok", &stored) + IButton->LoadHeader((char*)"gui.dpf", (char*)"ok", &stored);
  id += IButton->Delete(1, (char*)"ok") + IButton->Delete((char*)"gui.dpf", (char*)"ok");
  id += IButton->Info(-1);
  unsigned short key = stored.key;
  unsigned char type = stored.type;
  unsigned int color = stored.colorselect;
  unsigned short x = stored.x, y = stored.y, range = stored.range;
  int value = stored.value;
  void (*callback)(void*, void*) = stored.callback;
  return id + (surface != NULL) + (name != NULL) + (typed != NULL) + key + type + (int)color + x + y + range + value +
         (callback != NULL);
}

void CallUserInterface() {
  SDL_Surface* image = SDL_CreateRGBSurface(0, 16, 16, 32, 0, 0, 0, 0);
  Yandorix_CFont font;
  ILogSystem.Msg(0, "%d\n", CallCursor(image) + CallButtons(&font));
  SDL_FreeSurface(image);
}

TEST(Interface, Ui) { SUCCEED(); }
