// Both link endpoints over real loopback sockets, driven by this thread's
// message loop as the program's own loop drives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "link/burst.h"
#include "link/foreign_sends.h"
#include "link/link_client.h"
#include "link/link_server.h"
#include "tests/support/pump.h"

namespace {

using kvtest::PumpFor;
using kvtest::PumpUntil;
using kvtest::RawSocket;

struct Event {
  char kind;  // 'D' data, 'E' entered, 'L' left; 'd', 'x' for the client; 'l' a line
  std::string peer;
  std::string data;
  bool operator==(const Event& o) const {
    return kind == o.kind && peer == o.peer && data == o.data;
  }
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << e.kind << "(" << e.peer << ", " << e.data.size() << " bytes)";
}

std::vector<Event> g_events;
LinkServer* g_server = nullptr;
LinkClient* g_client = nullptr;

std::string Str(const ByteString& bytes) { return std::string(bytes.begin(), bytes.end()); }
ByteString Bytes(const std::string& text) { return ByteString(text.begin(), text.end()); }

void OnData() { g_events.push_back({'D', g_server->CurrentPeer(), Str(g_server->GetData())}); }
void OnEntered() { g_events.push_back({'E', g_server->CurrentPeer(), ""}); }
void OnLeft() { g_events.push_back({'L', g_server->CurrentPeer(), ""}); }
void OnClientData() { g_events.push_back({'d', "", Str(g_client->GetData())}); }
void OnClientDisconnected() { g_events.push_back({'x', "", ""}); }

std::string Peer(int port) { return "127.0.0.1:" + std::to_string(port); }

size_t Count(char kind) {
  size_t n = 0;
  for (const Event& e : g_events) n += e.kind == kind;
  return n;
}

std::string Received() {
  std::string all;
  for (const Event& e : g_events) {
    if (e.kind == 'D') all += e.data;
  }
  return all;
}

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kvtest::EnsureSocketLayer();
    g_events.clear();
    // A port of each case's own: the cases run as separate processes, some
    // at the same time, and none waits on another's closed connections.
    const ::testing::TestSuite* suite = ::testing::UnitTest::GetInstance()->current_test_suite();
    const ::testing::TestInfo* current = ::testing::UnitTest::GetInstance()->current_test_info();
    int index = 0;
    while (suite->GetTestInfo(index) != current) ++index;
    port_ = 21000 + 4 * index;  // port_ + 1 is the case's spare
    server_ = std::make_unique<LinkServer>(nullptr, port_);
    g_server = server_.get();
    server_->Bind(LinkServer::Event::kDataArrival, &OnData);
    server_->Bind(LinkServer::Event::kClientEntered, &OnEntered);
    server_->Bind(LinkServer::Event::kClientLeft, &OnLeft);
    ASSERT_TRUE(server_->Listen());
    client_ = std::make_unique<LinkClient>();
    g_client = client_.get();
    client_->Bind(LinkClient::Event::kDataArrival, &OnClientData);
    client_->Bind(LinkClient::Event::kDisconnected, &OnClientDisconnected);
  }

  void TearDown() override {
    client_.reset();
    server_.reset();
    g_server = nullptr;
    g_client = nullptr;
  }

  // Connects the client and waits until the server has accepted it.
  void ConnectClient() {
    ASSERT_TRUE(client_->Connect("127.0.0.1", port_));
    ASSERT_TRUE(PumpUntil([] { return Count('E') == 1; }));
    ASSERT_EQ(g_events.back(), (Event{'E', Peer(client_->LocalPort()), ""}));
    g_events.clear();
  }

  int port_ = 0;
  std::unique_ptr<LinkServer> server_;
  std::unique_ptr<LinkClient> client_;
};

TEST_F(LinkTest, EachSendHandledBeforeTheNextIsItsOwnBurst) {
  ConnectClient();
  const std::string peer = Peer(client_->LocalPort());
  const std::vector<std::string> payloads = {"\xC6\xD5\xB9\xA5", std::string("\x01\x00\x02", 3),
                                             std::string(1, '\0')};
  for (const std::string& payload : payloads) {
    ASSERT_TRUE(client_->Send(Bytes(payload)));
    ASSERT_TRUE(PumpUntil([] { return !g_events.empty(); }));
    EXPECT_EQ(g_events, (std::vector<Event>{{'D', peer, payload}}));
    g_events.clear();
  }
  EXPECT_TRUE(server_->GetData().empty()) << "GetData outside a handler";
  EXPECT_TRUE(server_->CurrentPeer().empty());
}

TEST_F(LinkTest, TwoSendsBeforeTheServerReadsComeAsOneBurst) {
  ConnectClient();
  ASSERT_TRUE(client_->Send(Bytes("\xB1\x7F\x39\x05")));
  ASSERT_TRUE(client_->Send(Bytes("\xC6\xD5\xB9\xA5")));
  Sleep(100);  // both writes reach the server's socket before it looks
  ASSERT_TRUE(PumpUntil([] { return !g_events.empty(); }));
  PumpFor(100);
  EXPECT_EQ(g_events, (std::vector<Event>{
                          {'D', Peer(client_->LocalPort()), "\xB1\x7F\x39\x05\xC6\xD5\xB9\xA5"}}));
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

TEST_F(LinkTest, QueuedBytesComeInBurstsOfAtMostTheCap) {
  // Bursts that fit the cap are taken whole, past the 1024-byte pieces;
  // larger ones are split at the cap, in order, and nothing is lost.
  const struct {
    size_t size;
    size_t bursts;
  } cases[] = {{loopback::kBurstPiece + 5, 1}, {loopback::kBurstCap, 1},
               {loopback::kBurstCap * 16, 16}, {loopback::kBurstCap * 3 + 1, 4}};
  for (const auto& c : cases) {
    g_events.clear();
    RawSocket peer;
    ASSERT_TRUE(peer.Connect(port_));
    ASSERT_TRUE(PumpUntil([] { return Count('E') == 1; }));
    const std::string payload = Pattern(c.size);
    ASSERT_TRUE(peer.SendAll(payload));
    Sleep(200);  // all of it waits in the socket before the first read
    ASSERT_TRUE(PumpUntil([&] { return Received().size() == payload.size(); })) << c.size;
    PumpFor(50);
    EXPECT_EQ(Count('D'), c.bursts) << c.size;
    for (const Event& e : g_events) EXPECT_LE(e.data.size(), loopback::kBurstCap);
    EXPECT_EQ(Received(), payload) << c.size;
  }
}

// The stream of one peer that never stops: checked as it arrives, not kept.
struct StreamCheck {
  std::string pattern = Pattern(64 * 1024);
  size_t received = 0;
  size_t bursts = 0;
  size_t largest = 0;
  bool in_order = true;
};
StreamCheck* g_stream = nullptr;

void OnStreamData() {
  const ByteString data = g_server->GetData();
  StreamCheck& c = *g_stream;
  for (uint8_t byte : data) {
    if (static_cast<char>(byte) != c.pattern[c.received++ % c.pattern.size()]) c.in_order = false;
  }
  ++c.bursts;
  c.largest = std::max(c.largest, data.size());
}

struct Flood {
  SOCKET socket;
  std::atomic<bool> stop{false};
  std::atomic<size_t> sent{0};

  static DWORD WINAPI Run(void* arg) {
    auto* f = static_cast<Flood*>(arg);
    const std::string chunk = Pattern(64 * 1024);
    while (!f->stop) {
      const int n = send(f->socket, chunk.data(), static_cast<int>(chunk.size()), 0);
      if (n <= 0) break;
      f->sent += static_cast<size_t>(n);
      if (n < static_cast<int>(chunk.size())) break;  // keep the stream a whole number of chunks
    }
    return 0;
  }
};

TEST_F(LinkTest, APeerThatNeverStopsSendingLeavesTheLoopResponsive) {
  StreamCheck check;
  g_stream = &check;
  server_->Bind(LinkServer::Event::kDataArrival, &OnStreamData);
  RawSocket peer;
  ASSERT_TRUE(peer.Connect(port_));
  ASSERT_TRUE(PumpUntil([] { return Count('E') == 1; }));
  // The peer writes from its own thread as fast as the socket takes it.
  Flood flood;
  flood.socket = peer.handle();
  HANDLE writer = CreateThread(nullptr, 0, &Flood::Run, &flood, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  // A message posted behind the flood's notifications (a click, say) waits
  // for the burst being read and at most one more, however many read
  // notifications the platform has queued by then.
  kvtest::PostProbe probe;
  for (int round = 0; round < 5; ++round) {
    PumpFor(100);
    const size_t before = check.bursts;
    probe.Post();
    EXPECT_TRUE(PumpUntil([&] { return probe.seen(); }, 2000)) << "round " << round;
    EXPECT_LE(check.bursts - before, 2u) << "round " << round;
  }
  flood.stop = true;
  WaitForSingleObject(writer, 5000);
  CloseHandle(writer);
  peer.ShutdownSend();
  ASSERT_TRUE(PumpUntil([&] { return check.received == flood.sent; }, 30000))
      << check.received << " of " << flood.sent;
  EXPECT_GT(check.bursts, 1u);
  EXPECT_LE(check.largest, loopback::kBurstCap);
  EXPECT_TRUE(check.in_order);
  g_stream = nullptr;
}

// Stands in for the window that takes a foreign thread's log line: the line
// goes into the same record as the server's events, on this thread.
class LineTaker {
 public:
  LineTaker() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &LineTaker::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KestravoTestLineTaker";
    RegisterClassW(&wc);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  }
  ~LineTaker() { DestroyWindow(hwnd_); }
  LineTaker(const LineTaker&) = delete;
  LineTaker& operator=(const LineTaker&) = delete;
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_APP) {
      g_events.push_back({'l', "", reinterpret_cast<const char*>(lparam)});
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  HWND hwnd_ = nullptr;
};

// A learner's thread: sends (or not), waits for its cue, then hands its line
// to the line taker (or never does) and ends its send, as AppendToLog does.
struct ForeignThread {
  const char* name;
  LinkClient* client;    // null: sends nothing
  HWND line_taker;       // null: never logs
  HANDLE cue = nullptr;  // logs only once it is signalled
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // signalled at its end
  std::atomic<bool> sent{false};

  ~ForeignThread() { CloseHandle(done); }

  static DWORD WINAPI Run(void* arg) {
    auto* t = static_cast<ForeignThread*>(arg);
    if (t->client != nullptr) t->sent = t->client->Send(Bytes("t"));
    if (t->cue != nullptr) WaitForSingleObject(t->cue, 30000);
    // A server that does not hold back logs the bytes meanwhile.
    Sleep(100);
    if (t->line_taker != nullptr) {
      SendMessageW(t->line_taker, WM_APP, 0, reinterpret_cast<LPARAM>(t->name));
      loopback::EndForeignSend();
    }
    SetEvent(t->done);
    return 0;
  }
};

// Runs the threads at once, pumping this thread's messages until all ended;
// false when one did not end in time.
bool RunThreads(const std::vector<ForeignThread*>& threads) {
  std::vector<HANDLE> handles;
  for (ForeignThread* t : threads) {
    HANDLE thread = CreateThread(nullptr, 0, &ForeignThread::Run, t, 0, nullptr);
    if (thread == nullptr) return false;
    handles.push_back(thread);
  }
  const bool ended = PumpUntil(
      [&threads] {
        for (ForeignThread* t : threads) {
          if (WaitForSingleObject(t->done, 0) != WAIT_OBJECT_0) return false;
        }
        return true;
      },
      30000);
  for (HANDLE thread : handles) {
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }
  return ended;
}

TEST_F(LinkTest, ASendFromAnotherThreadIsHeldBackUntilThatThreadsLine) {
  ConnectClient();
  const std::string peer = Peer(client_->LocalPort());
  LineTaker taker;
  // Long enough that no machine runs out of it here.
  const DWORD patience = loopback::SetForeignSendPatience(60000);
  const struct {
    const char* what;
    bool another_thread_logs_first;
    std::vector<Event> expected;
  } cases[] = {
      {"the sender's own line", false, {{'l', "", "sender"}, {'D', peer, "t"}}},
      // A line from a thread that sent nothing ends nobody's send.
      {"another thread's line first",
       true,
       {{'l', "", "other"}, {'l', "", "sender"}, {'D', peer, "t"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    ForeignThread other{"other", nullptr, taker.hwnd()};
    ForeignThread sender{"sender", client_.get(), taker.hwnd()};
    if (c.another_thread_logs_first) sender.cue = other.done;
    std::vector<ForeignThread*> threads = {&sender};
    if (c.another_thread_logs_first) threads.push_back(&other);
    ASSERT_TRUE(RunThreads(threads));
    EXPECT_TRUE(sender.sent);
    ASSERT_TRUE(PumpUntil([] { return Count('D') == 1; }));
    EXPECT_EQ(g_events, c.expected);
  }
  loopback::SetForeignSendPatience(patience);
}

TEST_F(LinkTest, ASendFromAThreadThatNeverLogsIsHeldOnlyBriefly) {
  ConnectClient();
  const DWORD patience = loopback::SetForeignSendPatience(200);
  ForeignThread sender{"sender", client_.get(), nullptr};
  ASSERT_TRUE(RunThreads({&sender}));
  EXPECT_TRUE(sender.sent);
  EXPECT_TRUE(PumpUntil([] { return Count('D') == 1; }));
  EXPECT_EQ(Received(), "t");
  loopback::SetForeignSendPatience(patience);
}

TEST_F(LinkTest, EmptySendWritesNothing) {
  ConnectClient();
  EXPECT_TRUE(client_->Send({}));
  PumpFor(100);
  EXPECT_TRUE(g_events.empty());
  ASSERT_TRUE(client_->Send(Bytes("x")));
  ASSERT_TRUE(PumpUntil([] { return !g_events.empty(); }));
  EXPECT_EQ(Received(), "x");
}

TEST_F(LinkTest, SendWithoutAConnectionFails) {
  // A learner's thread may call a practice routine while there is no window,
  // and so no client.
  EXPECT_FALSE(LinkClientSend(nullptr, reinterpret_cast<const uint8_t*>("x"), 1)) << "no client";
  EXPECT_FALSE(client_->Send(Bytes("x"))) << "before any Connect";
  ConnectClient();
  client_->Disconnect();
  EXPECT_FALSE(client_->connected());
  EXPECT_FALSE(client_->Send(Bytes("x"))) << "after Disconnect";
  client_->Disconnect();  // harmless when not connected
  ASSERT_TRUE(PumpUntil([] { return Count('L') == 1; }));
  EXPECT_EQ(Count('D'), 0u);
}

TEST_F(LinkTest, ConnectFailures) {
  struct Case {
    const char* address;
    int port;
  };
  RawSocket closed;  // bound, never listening: connecting to it is refused
  ASSERT_TRUE(closed.Listen(port_ + 1));
  closed.Close();
  for (const Case& c : {Case{"", port_}, Case{"no-such-host.invalid", port_},
                        Case{"127.0.0.1", port_ + 1}, Case{"127.0.0.1", 70000}}) {
    EXPECT_FALSE(client_->Connect(c.address, c.port)) << c.address << ":" << c.port;
    EXPECT_FALSE(client_->connected());
    EXPECT_FALSE(client_->Send(Bytes("x")));
  }
}

TEST_F(LinkTest, HostNamesAreResolved) {
  ASSERT_TRUE(client_->Connect("localhost", port_));
  EXPECT_TRUE(PumpUntil([] { return Count('E') == 1; }));
}

TEST_F(LinkTest, PortBelowOneIsTakenAsOne) {
  LinkServer on_port_one(nullptr, 1);
  on_port_one.Bind(LinkServer::Event::kClientEntered, &OnEntered);
  g_server = &on_port_one;
  if (!on_port_one.Listen()) GTEST_SKIP() << "port 1 cannot be bound here";
  EXPECT_TRUE(client_->Connect("127.0.0.1", 0));
  EXPECT_TRUE(PumpUntil([] { return Count('E') == 1; }));
  client_->Disconnect();
  g_server = server_.get();
}

TEST_F(LinkTest, SecondConnectReplacesTheFirstConnection) {
  ConnectClient();
  const int first = client_->LocalPort();
  ASSERT_TRUE(client_->Connect("127.0.0.1", port_));
  const int second = client_->LocalPort();
  ASSERT_TRUE(PumpUntil([] { return Count('L') == 1 && Count('E') == 1; }));
  EXPECT_EQ(server_->peer_count(), 1u);
  EXPECT_EQ(Count('D'), 0u);
  for (const Event& e : g_events) {
    EXPECT_EQ(e.peer, Peer(e.kind == 'L' ? first : second)) << e;
  }
}

TEST_F(LinkTest, PeerThatConnectsAndClosesWithoutSending) {
  RawSocket peer;
  ASSERT_TRUE(peer.Connect(port_));
  const int port = peer.LocalPort();
  peer.Close();
  ASSERT_TRUE(PumpUntil([] { return Count('L') == 1; }));
  PumpFor(100);
  EXPECT_EQ(g_events, (std::vector<Event>{{'E', Peer(port), ""}, {'L', Peer(port), ""}}));
  EXPECT_EQ(server_->peer_count(), 0u);
}

TEST_F(LinkTest, BytesSentRightBeforeACloseOrResetAreNotLost) {
  for (bool reset : {false, true}) {
    g_events.clear();
    RawSocket peer;
    ASSERT_TRUE(peer.Connect(port_));
    // A connection reset before it was accepted never reaches the program.
    ASSERT_TRUE(PumpUntil([] { return Count('E') == 1; }));
    std::string payload(20000, 'a');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(peer.SendAll(payload));
    Sleep(50);
    if (reset) {
      peer.Reset();
    } else {
      peer.Close();
    }
    ASSERT_TRUE(PumpUntil([] { return Count('L') == 1; })) << "reset " << reset;
    EXPECT_EQ(Received(), payload) << "reset " << reset;
    EXPECT_EQ(g_events.front().kind, 'E');
    EXPECT_EQ(g_events.back().kind, 'L');
  }
}

TEST_F(LinkTest, PortTakenByAnotherListener) {
  LinkServer second(nullptr, port_);
  EXPECT_FALSE(second.Listen());
  EXPECT_FALSE(second.listening());
  // The first one still serves.
  ConnectClient();
  ASSERT_TRUE(client_->Send(Bytes("ok")));
  ASSERT_TRUE(PumpUntil([] { return !g_events.empty(); }));
  EXPECT_EQ(Received(), "ok");
}

TEST_F(LinkTest, DestroyingTheServerClosesPeersWithoutEvents) {
  RawSocket peer;
  ASSERT_TRUE(peer.Connect(port_));
  ASSERT_TRUE(PumpUntil([] { return Count('E') == 1; }));
  server_.reset();
  g_server = nullptr;
  PumpFor(50);
  EXPECT_EQ(Count('L'), 0u);
  EXPECT_EQ(peer.AwaitEnd(2000), kvtest::StreamEnd::kClosed);
}

// A server whose peer closes or resets after it was accepted and before the
// server watches it: the platform then never notifies the close.
class ServerLeftWhileAccepting : public LinkServer {
 public:
  ServerLeftWhileAccepting(int port, RawSocket* peer, bool reset)
      : LinkServer(nullptr, port), peer_(peer), reset_(reset) {}

 protected:
  SOCKET AcceptPeer(SOCKET listener, std::string* name) override {
    const SOCKET socket = LinkServer::AcceptPeer(listener, name);
    if (reset_) {
      peer_->Reset();
    } else {
      peer_->Close();
    }
    Sleep(100);  // the close has arrived
    return socket;
  }

 private:
  RawSocket* peer_;
  bool reset_;
};

TEST_F(LinkTest, APeerThatLeavesWhileBeingAcceptedStillLeaves) {
  server_.reset();
  const struct {
    const char* what;
    std::string sent;
    bool reset;
  } cases[] = {{"close", "", false}, {"close after sending", "ab", false}, {"reset", "", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    RawSocket peer;
    ServerLeftWhileAccepting server(port_, &peer, c.reset);
    g_server = &server;
    server.Bind(LinkServer::Event::kDataArrival, &OnData);
    server.Bind(LinkServer::Event::kClientEntered, &OnEntered);
    server.Bind(LinkServer::Event::kClientLeft, &OnLeft);
    ASSERT_TRUE(server.Listen());
    ASSERT_TRUE(peer.Connect(port_));
    const std::string name = Peer(peer.LocalPort());
    ASSERT_TRUE(peer.SendAll(c.sent));
    EXPECT_TRUE(PumpUntil([] { return Count('L') == 1; }, 3000)) << "the peer never left";
    EXPECT_EQ(server.peer_count(), 0u);
    std::vector<Event> expected = {{'E', name, ""}};
    if (!c.sent.empty()) expected.push_back({'D', name, c.sent});
    expected.push_back({'L', name, ""});
    EXPECT_EQ(g_events, expected);
    g_server = nullptr;
  }
}

TEST_F(LinkTest, AReplacedConnectionsQueuedCloseIsNotTakenForTheNewOne) {
  RawSocket listener;
  ASSERT_TRUE(listener.Listen(port_ + 1));
  ASSERT_TRUE(client_->Connect("127.0.0.1", port_ + 1));
  RawSocket first = listener.Accept();
  first.Close();
  Sleep(100);  // the client's close notification waits in the queue
  // The old socket is closed here and its handle value is free for the new one.
  ASSERT_TRUE(client_->Connect("127.0.0.1", port_ + 1));
  RawSocket second = listener.Accept();
  ASSERT_TRUE(second.SendAll("ok"));
  ASSERT_TRUE(PumpUntil([] { return Count('d') == 1; }));
  PumpFor(100);
  EXPECT_EQ(g_events, (std::vector<Event>{{'d', "", "ok"}})) << "no Disconnected for the new one";
  EXPECT_TRUE(client_->connected());
}

TEST_F(LinkTest, ClientReceivesBurstsAndKeepsItsStateWhenTheServerCloses) {
  RawSocket listener;
  ASSERT_TRUE(listener.Listen(port_ + 1));
  ASSERT_TRUE(client_->Connect("127.0.0.1", port_ + 1));
  RawSocket remote = listener.Accept();
  ASSERT_TRUE(remote.SendAll("hello"));
  ASSERT_TRUE(PumpUntil([] { return !g_events.empty(); }));
  EXPECT_EQ(g_events, (std::vector<Event>{{'d', "", "hello"}}));
  EXPECT_TRUE(client_->GetData().empty());
  g_events.clear();
  remote.Close();
  ASSERT_TRUE(PumpUntil([] { return Count('x') == 1; }));
  EXPECT_TRUE(client_->connected()) << "a close by the peer does not clear connected";
}

}  // namespace
