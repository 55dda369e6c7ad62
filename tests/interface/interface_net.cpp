// Compile-only check that an application written against the network interface builds unchanged:
// every operation and every field of the client list with the types applications use.
#include <gtest/gtest.h>
#include <Yandorix.h>

namespace {

int Approve(void* data, int size) { return data != NULL && size > 0; }

// Never run: it only has to compile, warning-free.
[[maybe_unused]] void UseNetwork() {
  Yandorix_INetwork* net = INetwork;
  int initialised = net->Init((char)2);
  int started = net->CreateServer((Uint16)4000, (Uint32)1234, (Uint8)0);
  Uint8 connected = net->ConnectTo((char*)"127.0.0.1", (Uint16)4000, (char*)"bob", (Uint32)1234);
  char text[] = "hello";
  int sent = net->SendData(text, 5, (char)1);
  char* data = NULL;
  unsigned int size = 0;
  Uint8 cmd = net->ReceiveData(&data, &size);
  net->FreeData(data);
  int killClient = net->QueryKillClient();
  int killServer = net->QueryKillServer();
  int asked = net->QueryClientsInfo();
  sClientInfo* list = NULL;
  int count = net->GetClientsInfo(&list);
  Yandorix_INetwork::sClientInfo* same = list;
  char* name = list->name;
  Uint32 ip = list->ip;
  Sint32 ping = list->ping;
  Sint32 average = same->avgping;
  net->SetCoreServerCallback(Approve);
  net->SetCoreServerCallback(NULL);
  int features = net->Features(-1);
  net->SetSimDelay(100, 0);
  net->SetTimeOut(1000);
  net->Info();
  int server = net->IsServer();
  int client = net->IsClient();
  Uint32 mine = net->GetMyIP();
  char* user = net->GetMyUserName();
  net->Quit();
  (void)initialised, (void)started, (void)connected, (void)sent, (void)cmd, (void)killClient, (void)killServer;
  (void)asked, (void)count, (void)name, (void)ip, (void)ping, (void)average, (void)features, (void)server;
  (void)client, (void)mine, (void)user;
}

static_assert(sizeof(sClientInfo) == 28, "the client record is 28 bytes, as on the wire");

}  // namespace

TEST(Interface, Network) { SUCCEED(); }
