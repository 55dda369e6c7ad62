// What a faulty or hostile peer does to the network: out-of-step and oversized messages, bad login
// names, silent and stalled connections, unknown commands, empty messages, and a server whose list and
// names break the rules. Each time only that peer is dropped; the others carry on.
#include "NetTest.h"
#include "71_NetCore.h"
#include <sys/socket.h>

using nettest::FakeServer;
using nettest::RawClient;
using nettest::RawMessage;
using nettest::WaitFor;

namespace {

const Uint32 kPassword = 0x2468;

std::string Named(const char* name) { return std::string(name, strlen(name) + 1); }

class NetFaults : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    NetLimits limits;
    limits.stallMs = 5000;   // a message stalled half-way drops its sender sooner than by default
    NetSetLimits(limits);
    port = StartServer(kPassword);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(witness.Connect(port));
    ASSERT_EQ(witness.Login("witness", kPassword), 1);
  }
  // The witness hears that `name` left, and the server still takes logins.
  void ExpectLeftAndServerAlive(const std::string& name) {
    RawMessage message;
    do {   // newcomers of earlier rounds leave too
      ASSERT_TRUE(witness.ReadUntil(' ', '*', message)) << name;
    } while (message.payload != Named(name.c_str()));
    RawClient newcomer;
    ASSERT_TRUE(newcomer.Connect(port));
    EXPECT_EQ(newcomer.Login("new-" + name.substr(0, 8), kPassword), 1);
    EXPECT_FALSE(witness.badMessage);
  }
  uint16_t port = 0;
  RawClient witness;
};

}  // namespace

TEST_F(NetFaults, OutOfStepOrOversizedMessagesDropOnlyTheirSender) {
  struct Case {
    const char* name;
    std::function<std::string(RawClient&)> message;   // NULL: the client just closes its connection
    const char* line;                                 // its logout line
  };
  const Case cases[] = {
      {"token", [](RawClient& c) {
         c.sending();   // one token skipped: as if a message had been lost
         int16_t token = (int16_t)(c.sending() & 0xFFFF);
         return nettest::Scramble(nettest::Header('@', 'H', token, 2, nettest::CheckValue('@', 'H', token, "hi")) + "hi");
       }, "Warning: client 'token' is logged out: it sent a message out of step (a bad token) (type 64, command 72, "
          "14 bytes) (error 16).\n"},
      {"check", [](RawClient& c) {
         int16_t token = (int16_t)(c.sending() & 0xFFFF);
         return nettest::Scramble(nettest::Header('@', 'H', token, 2, 12345) + "hi");
       }, "Warning: client 'check' is logged out: it sent a message with a bad check value (type 64, command 72, "
          "14 bytes) (error 8).\n"},
      {"oversize", [](RawClient&) { return nettest::Scramble(nettest::Header('@', 'H', 0, 0x400000 - 11, 0)); },
       "Warning: client 'oversize' is logged out: it sent an oversized message (type 64, command 72, 4194305 bytes) "
       "(error 2).\n"},
      {"wrapping", [](RawClient&) { return nettest::Scramble(nettest::Header('@', 'H', 0, 0xFFFFFFF8u, 0)); },
       "Warning: client 'wrapping' is logged out: it sent an oversized message (type 64, command 72, 4294967300 "
       "bytes) (error 2).\n"},
      {"kind", [](RawClient& c) {
         int16_t token = (int16_t)(c.sending() & 0xFFFF);
         return nettest::Scramble(nettest::Header('A', 'H', token, 2, nettest::CheckValue('A', 'H', token, "hi")) + "hi");
       }, "Warning: client 'kind' is logged out: it sent a message of unknown kind (type 65, command 72, 14 bytes) "
          "(error 5).\n"},
      {"command", [](RawClient&) { return nettest::Scramble(nettest::Header(' ', 'Z', 0, 0, 0)); },
       "Warning: client 'command' is logged out: it sent an unknown command (type 32, command 90, 12 bytes) "
       "(error 190).\n"},
      {"closes", nullptr, "Info: client 'closes' closed its connection.\n"},
  };
  for (const Case& c : cases) {
    RawClient sender;
    ASSERT_TRUE(sender.Connect(port));
    ASSERT_EQ(sender.Login(c.name, kPassword), 1);
    RawMessage joined;
    ASSERT_TRUE(witness.ReadUntil(' ', '(', joined));
    if (c.message) {
      ASSERT_TRUE(sender.SendBytes(c.message(sender)));
      EXPECT_TRUE(sender.ClosedWithin()) << c.name;
    } else {
      sender.Close();
    }
    ExpectLeftAndServerAlive(c.name);
    EXPECT_NE(ydxtest::LogText().find(std::string(" [INetwork Server] ") + c.line), std::string::npos) << c.name;
    EXPECT_NE(ydxtest::ReadFile("Network.log").find(std::string(" [SERVER] ") + c.line), std::string::npos) << c.name;
  }
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find("Error(16): network connection failed!"), std::string::npos) << "token";
  EXPECT_NE(log.find("Error(8): network connection failed!"), std::string::npos) << "check value";
  EXPECT_NE(log.find("Error(2): network connection failed!"), std::string::npos) << "size";
  EXPECT_EQ(log.find("Error(1): network connection failed!"), std::string::npos) << "a client that left is no error";
}

TEST_F(NetFaults, LoginsAreCheckedBeforeAnyPayloadIsRead) {
  struct Case {
    const char* what;
    std::string bytes;
    int answer;   // Login-style: 1 accepted, -code-1 refused
  };
  auto login = [](const std::string& payload, Uint32 size) {
    return nettest::Scramble(nettest::Header(' ', '&', (int16_t)kPassword, size, 0) + payload);
  };
  const Case cases[] = {
      {"not a login, huge size", nettest::Scramble(nettest::Header(' ', '.', 0, 0xFFFFFFFFu, 0)), -1},
      {"user message first", nettest::Scramble(nettest::Header('@', 'H', 0, 0x10000, 0)), -1},
      {"login of wrapping size", login("", 0xFFFFFFF8u), -2},
      {"login of 17 bytes", login(std::string(16, 'a') + '\0', 17), -2},
      {"16 bytes without terminator", login(std::string(16, 'a'), 16), -2},
      {"only a terminator", login(std::string(1, '\0'), 1), -2},
      {"15 characters and terminator", login(std::string(15, 'b') + '\0', 16), 1},
  };
  for (const Case& c : cases) {
    RawClient peer;
    ASSERT_TRUE(peer.Connect(port));
    ASSERT_TRUE(peer.SendBytes(c.bytes));
    // A server that awaited the payload would never answer: the login time would pass first.
    RawMessage answer;
    ASSERT_TRUE(peer.Read(answer)) << c.what << ": answered, no payload awaited";
    if (c.answer == 1) {
      EXPECT_EQ(answer.cmd, '$') << c.what;
    } else {
      EXPECT_EQ(answer.cmd, '"') << c.what;
      EXPECT_EQ(-answer.aux - 1, c.answer) << c.what;
      EXPECT_TRUE(peer.ClosedWithin()) << c.what;
    }
  }
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find(" [INetwork Server] Warning: access denied to a connection from 127.0.0.1: it sent no login "
                     "request (type 32, command 46, 4294967307 bytes).\n"), std::string::npos);
  EXPECT_NE(log.find("access denied to 'aaaaaaaaaaaaaaa': invalid client name."), std::string::npos);
  EXPECT_NE(log.find(" [INetwork::ReceiveDataNet(64,72)] Error(16): network connection failed! (12-12)\n"),
            std::string::npos) << "a user message on a connection without a token";
  EXPECT_EQ(log.find("Error(32)"), std::string::npos);
}

TEST_F(NetFaults, SilentAndStalledPeersDoNotHoldUpTheOthers) {
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", kPassword), 1);
  RawClient silent, halfLogin, stalled;
  ASSERT_TRUE(silent.Connect(port));
  ASSERT_TRUE(halfLogin.Connect(port));
  ASSERT_TRUE(halfLogin.SendBytes(nettest::Scramble(nettest::Header(' ', '&', (int16_t)kPassword, 4, 0)).substr(0, 5)));
  ASSERT_TRUE(stalled.Connect(port));
  ASSERT_EQ(stalled.Login("stalled", kPassword), 1);
  ASSERT_TRUE(stalled.SendBytes(std::string(7, 'x')));   // half a header, then nothing
  Uint32 start = SDL_GetTicks();
  for (int i = 0; i < 5; i++) {
    std::string data = "tick " + std::to_string(i);
    ASSERT_EQ(INetwork->SendData(data.data(), (int)data.size(), 0), 1);
    RawMessage message;
    ASSERT_TRUE(witness.ReadUntil('@', '@', message)) << i;
    EXPECT_EQ(message.payload, data);
    // Relayed while the others stall: none of them has been dropped (within seconds) yet.
    EXPECT_TRUE(nettest::LoggedIn("stalled")) << i;
    EXPECT_FALSE(silent.Readable() || halfLogin.Readable()) << i;
  }
  EXPECT_TRUE(silent.ClosedWithin()) << "a connection that never logs in is closed";
  EXPECT_TRUE(halfLogin.ClosedWithin());
  EXPECT_TRUE(stalled.ClosedWithin()) << "a message stalled half-way drops its sender";
  EXPECT_GE(SDL_GetTicks() - start, 4500u);
  std::string log = ydxtest::LogText();
  EXPECT_NE(log.find(" [INetwork Server] Warning: client 'stalled' sent nothing more of a message for "),
            std::string::npos);
  EXPECT_NE(log.find(" [INetwork Server] Warning: a connection from 127.0.0.1 sent no whole login request within "
                     "3000 ms; it is closed.\n"), std::string::npos);
  RawMessage left;
  ASSERT_TRUE(witness.ReadUntil(' ', '*', left));
  EXPECT_EQ(left.payload, Named("stalled"));
  EXPECT_EQ(INetwork->IsClient(), 1);
  ASSERT_EQ(INetwork->SendData("still here", 10, 0), 1);
  RawMessage message;
  ASSERT_TRUE(witness.ReadUntil('@', '@', message));
  EXPECT_EQ(message.payload, "still here");
}

TEST_F(NetFaults, UnknownCommandsAndEmptyMessagesStayWithTheirSender) {
  RawClient odd;
  ASSERT_TRUE(odd.Connect(port));
  ASSERT_EQ(odd.Login("odd", kPassword), 1);
  ASSERT_TRUE(odd.SendUser('H', ""));   // empty: neither relayed nor echoed, the sender stays
  ASSERT_TRUE(odd.SendUser('H', "after empty"));
  RawMessage message;
  ASSERT_TRUE(witness.ReadUntil('@', '@', message));
  EXPECT_EQ(message.payload, "after empty");
  ASSERT_TRUE(odd.SendSystem('Z'));     // no such client command: that client goes, not the server
  EXPECT_TRUE(odd.ReadUntil(' ', ',', message)) << "told it is dropped";
  EXPECT_TRUE(odd.ClosedWithin());
  ExpectLeftAndServerAlive("odd");
  EXPECT_EQ(INetwork->IsServer(), 1);
  EXPECT_NE(ydxtest::ReadFile("Network.log").find("Warning: empty data from 'odd' was ignored."), std::string::npos);

  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", port, (char*)"bob", kPassword), 1);
  EXPECT_EQ(INetwork->SendData("x", 0, 0), 0);
  EXPECT_EQ(INetwork->SendData(NULL, 4, 0), 0);
  EXPECT_EQ(INetwork->SendData("x", -3, 1), 0);
  EXPECT_NE(ydxtest::LogText().find(" [INetwork::SendData] Error: there is no data to send (0 bytes).\n"),
            std::string::npos);
}

TEST_F(NetTest, ClientKeepsToEightRecordsAndTerminatedNames) {
  std::string records;
  for (int i = 0; i < 10; i++) {
    std::string name = "n" + std::to_string(i);
    records += name + std::string(16 - name.size(), '\0');
    records += std::string("\x01\x00\x00\x7f", 4) + std::string(8, '\0');
  }
  records.replace(28, 16, std::string(16, 'Z'));   // the second name fills its field without a terminator
  records += "partial";
  std::string answer = nettest::Scramble(nettest::Header(' ', '$', 5, 4, 0) + std::string("bob", 4));
  answer += nettest::Scramble(nettest::Header(' ', '.', 0, (uint32_t)records.size(), 0) + records);
  answer += nettest::Scramble(nettest::Header(' ', '(', 0, 3, 0) + "eve");   // a name without terminator
  FakeServer server(answer);
  ASSERT_EQ(INetwork->ConnectTo((char*)"127.0.0.1", server.port, (char*)"bob", 1), 1);
  EXPECT_EQ(NextMessage(), '.');
  sClientInfo* list = nullptr;
  ASSERT_EQ(INetwork->GetClientsInfo(&list), 8);
  EXPECT_STREQ(list[0].name, "n0");
  EXPECT_EQ(strnlen(list[1].name, 16), 15u);
  EXPECT_STREQ(list[7].name, "n7");
  EXPECT_EQ(list[7].ip, 0x7F000001u);
  EXPECT_TRUE(WaitFor([] { return INetwork->IsClient() == 0; })) << "a name without terminator ends the connection";
  EXPECT_NE(ydxtest::ReadFile("Network.log").find(" [CLIENT] Error(1): client lost connection with server.\n"),
            std::string::npos);
}
