#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CoreOnEmulator.h"
#include "app/ControlClient.h"
#include "app/ControlServer.h"
#include "app/ControlService.h"
#include "app/DeviceQueue.h"
#include "app/DeviceSession.h"
#include "app/Json.h"
#include "app/ManualControl.h"
#include "app/platform/ControlSocket.h"
#include "support/ListedPorts.h"
#include "support/MarkerSettings.h"
#include "support/ScopedEnvironmentVariable.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::chrono::milliseconds kPatience{30000};

// The whole program without a window: a core on the emulated driver, its device queue, the
// control service and the server on a socket in the test's folder.
class ControlServerTest : public CoreOnEmulator, public testing::Test {
  protected:
    ControlServerTest() : CoreOnEmulator(4) {}

    void SetUp() override {
        WriteSettings(kMarkerSettings + kLongSettings);
        ASSERT_EQ(driver_.Start(), 0);
        Start(core_);
        core_.GetLogFile().SetMessageReceiver(&service_);
        service_.SetNextReceiver(&receiver_);
        service_.Start();
        ASSERT_TRUE(server_.Start(SocketPath()).Ok());
    }
    void TearDown() override {
        server_.Stop();
        queue_.Stop();
        session_.Disconnect();
        core_.GetLogFile().SetMessageReceiver(&receiver_);
        core_.ShutDown();
    }

    std::filesystem::path SocketPath() const { return dir_.Path() / "control.sock"; }
    std::unique_ptr<ControlClient> Client() {
        auto client = std::make_unique<ControlClient>();
        EXPECT_TRUE(client->Connect(SocketPath()));
        return client;
    }
    // The answer, without its id.
    static Json Ask(ControlClient& client, const Json& request,
                    const ControlClient::EventHandler& onEvent = nullptr) {
        Json answer = client.Call(request, onEvent).value_or(Json());
        answer.erase("id");
        return answer;
    }
    // The events up to and including the first named `last`.
    static std::vector<Json> EventsUntil(ControlClient& client, const std::string& last) {
        std::vector<Json> events;
        while (std::optional<Json> line = client.ReadLine(kPatience)) {
            events.push_back(*line);
            if ((*line)["event"] == last)
                break;
        }
        return events;
    }

    ListedPorts lister_;
    DeviceSession session_{core_.GetMicroController(), lister_, notifier_, &core_.GetLogFile()};
    ManualControl manual_{core_.GetMicroController(), &core_.GetLogFile()};
    ThreadDeviceQueue queue_;
    ControlService service_{core_, session_, manual_, queue_, ControlCause::Window()};
    ControlServer server_{service_};
};

const Json kNotConnected = {{"ok", false}, {"error", "Not connected to the Zavik Driver."}};

// A line that is no request is answered with the reason, and the connection goes on.
TEST_F(ControlServerTest, EveryBadLineIsAnsweredAndTheConnectionKept) {
    // The line sent, the answer expected.
    const std::pair<std::string, std::string> cases[] = {
        {"{\"id\": 1, \"op\"", R"({"id":null,"ok":false,"error":"The line is not JSON."})"},
        {"[1, 2]", R"({"id":null,"ok":false,"error":"A request is a JSON object."})"},
        {R"({"id": [1], "op": "status"})",
         R"({"id":null,"ok":false,"error":"\"id\" must be a string, a number, true, false or null."})"},
        {R"({"id": "a"})", R"({"id":"a","ok":false,"error":"The request has no \"op\"."})"},
        {R"({"id": 2, "op": "fly"})", R"({"id":2,"ok":false,"error":"Unknown op \"fly\"."})"},
        {R"({"id": 3, "op": "run"})", R"({"id":3,"ok":false,"error":"\"sequence\" is missing."})"},
        {R"({"id": 4, "op": "run", "sequence": 256})",
         R"({"id":4,"ok":false,"error":"\"sequence\" must be a whole number from 0 to 255."})"},
        {R"({"id": 5, "op": "run", "sequence": 1.5})",
         R"({"id":5,"ok":false,"error":"\"sequence\" must be a whole number from 0 to 255."})"},
        {R"({"id": 6, "op": "led", "on": true})",
         R"({"id":6,"ok":false,"error":"\"label\" must name an LED."})"},
        {R"({"id": 7, "op": "led", "label": "Blue", "on": true, "intensity": 3})",
         R"({"id":7,"ok":false,"error":"Give exactly one of \"on\", \"intensity\" and \"pulse\"."})"},
        {R"({"id": 8, "op": "led", "label": "Blue", "intensity": -1})",
         R"({"id":8,"ok":false,"error":"\"intensity\" must be a whole number from 0 to 255."})"},
        {R"({"id": 9, "op": "led", "label": "Blue", "on": 1})",
         R"({"id":9,"ok":false,"error":"\"on\" must be true or false."})"},
        {R"({"id": 10, "op": "led", "label": "Blue", "pulse": "go"})",
         R"({"id":10,"ok":false,"error":"\"pulse\" must be \"start\" or \"stop\"."})"},
        {R"({"id": 11, "op": "led", "label": "Blue", "pulse": "start", "onMs": "5"})",
         R"({"id":11,"ok":false,"error":"\"onMs\" must be a number of milliseconds."})"},
        {R"({"id": "\u00e9", "op": "led", "label": "Violet", "intensity": 9})",
         R"({"id":"\u00e9","ok":false,"error":"Error validating color value(Violet), the color does not exist."})"},
    };
    const auto client = Client();
    for (const auto& [line, expected] : cases) {
        ASSERT_TRUE(client->SendLine(line));
        EXPECT_EQ(JsonLine(client->ReadLine(kPatience).value_or(Json())), expected) << line;
    }
    EXPECT_EQ(Ask(*client, {{"op", "status"}})["state"], "Disconnected");
}

// Every op a disconnected device or a running sequence cannot take is refused with the reason,
// and changes nothing.
TEST_F(ControlServerTest, RefusalsSayWhy) {
    const auto client = Client();
    for (const char* op : {"upload", "stop", "stopAll"})
        EXPECT_EQ(Ask(*client, {{"op", op}}), kNotConnected) << op;
    EXPECT_EQ(Ask(*client, {{"op", "run"}, {"sequence", 0}}), kNotConnected);
    EXPECT_EQ(Ask(*client, {{"op", "led"}, {"label", "Blue"}, {"on", true}}), kNotConnected);
    ASSERT_EQ(Ask(*client, {{"op", "connect"}})["ok"], true);
    EXPECT_EQ(Ask(*client, {{"op", "run"}, {"sequence", 9}}),
              (Json{{"ok", false}, {"error", "Sequence 9 is not defined."}}));
    EXPECT_EQ(
        Ask(*client, {{"op", "run"}, {"sequence", 0}}),
        (Json{{"ok", false},
              {"error",
               "Sequence 0 is not uploaded: the device does not hold the current sequences."}}));
    ASSERT_EQ(Ask(*client, {{"op", "upload"}})["ok"], true);
    ASSERT_EQ(Ask(*client, {{"op", "run"}, {"sequence", 1}})["ok"], true);
    const Json busy{{"ok", false}, {"error", "Busy: sequence 1 is running."}};
    for (const Json& request :
         {Json{{"op", "run"}, {"sequence", 0}}, Json{{"op", "upload"}}, Json{{"op", "connect"}},
          Json{{"op", "disconnect"}}, Json{{"op", "led"}, {"label", "Red"}, {"on", true}}})
        EXPECT_EQ(Ask(*client, request), busy) << request;
    const Json status = Ask(*client, {{"op", "status"}});
    EXPECT_EQ(status["state"], "Running");
    EXPECT_EQ(status["sequence"], 1);
    EXPECT_GT(status["timeLeftMs"].get<std::int64_t>(), 500000);
    // The stop waits behind nothing: the run is asked to end first.
    EXPECT_EQ(Ask(*client, {{"op", "stop"}}), (Json{{"ok", true}, {"outputMask", 0x80}}));
    EXPECT_EQ(Ask(*client, {{"op", "status"}})["state"], "Connected");
}

// A subscriber sees every change in order, each naming who caused it; every op answers as
// documented.
TEST_F(ControlServerTest, EveryOpAndItsEventsInOrder) {
    const auto watcher = Client();
    const auto script = Client();
    ASSERT_EQ(Ask(*watcher, {{"op", "subscribe"}}), (Json{{"ok", true}}));
    const Json connected = Ask(*script, {{"op", "connect"}});
    EXPECT_EQ(connected["firmware"], "ZVK-SIM 1.0") << connected;
    EXPECT_EQ(connected["simulated"], true);
    EXPECT_EQ(Ask(*script, {{"op", "sequences"}}), Json::parse(R"({"ok":true,"sequences":[
                {"number":0,"name":"Marker","steps":2,"durationMs":5.1},
                {"number":1,"name":"Long","steps":1,"durationMs":600000}]})"));
    const Json uploaded = Ask(*script, {{"op", "upload"}});
    EXPECT_EQ(uploaded["sequences"], Json::parse(R"([
        {"number":0,"name":"Marker","scriptCommands":4},
        {"number":1,"name":"Long","scriptCommands":3}])"));
    EXPECT_EQ(Ask(*script, {{"op", "status"}})["uploaded"], true);
    const Json run = Ask(*script, {{"op", "run"}, {"sequence", 0}});
    EXPECT_EQ(run["durationMs"], 5.1);
    EXPECT_TRUE(run.contains("startedAt"));
    std::vector<Json> events = EventsUntil(*watcher, "sequenceEnded");
    for (const Json& request : std::vector<Json>{
             {{"op", "led"}, {"label", "blue"}, {"on", true}},
             {{"op", "led"}, {"label", "Red"}, {"intensity", 77}},
             {{"op", "led"}, {"label", "Green"}, {"pulse", "start"}, {"onMs", 2}, {"loops", 3}},
             {{"op", "led"}, {"label", "Green"}, {"pulse", "stop"}},
             {{"op", "stopAll"}},
             {{"op", "disconnect"}}})
        EXPECT_EQ(Ask(*script, request)["ok"], true) << request;
    const std::vector<Json> later = EventsUntil(*watcher, "disconnected");
    events.insert(events.end(), later.begin(), later.end());
    std::vector<std::string> seen;
    for (Json& event : events) {
        EXPECT_EQ(event["by"], "script");
        EXPECT_EQ(event["pid"], getpid());
        EXPECT_EQ(event["time"].get<std::string>().size(), 23u) << event;
        for (const char* common : {"event", "time", "by", "pid"})
            event.erase(common);
        seen.push_back(event.dump());
    }
    // Port discovery finds nothing (no port list here): its Error is a message too.
    EXPECT_EQ(seen, (std::vector<std::string>{
                        R"({"level":"Error","text":"Error retrieving Zavik Driver device )"
                        R"(information.  Unable to determine port number for device."})",
                        "{\"port\":\"COM4 (" + driver_->RegisteredPath().string() +
                            ")\",\"firmware\":\"ZVK-SIM 1.0\",\"simulated\":true}",
                        R"({"sequence":0,"sent":0,"total":4,"index":1,"count":2})",
                        R"({"sequence":0,"sent":4,"total":4,"index":1,"count":2})",
                        R"({"sequence":1,"sent":3,"total":3,"index":2,"count":2})",
                        R"({"sequences":2})",
                        R"({"sequence":0,"durationMs":5.1})",
                        R"({"sequence":0,"result":"completed","stimulusRecord":")" +
                            WideToNarrow(core_.GetDataDirectory()) +
                            R"(/Stimulus_0_2017-05-16_09-05-03.tsv"})",
                        R"({"label":"Blue","on":true,"intensity":26})",
                        R"({"label":"Red","on":false,"intensity":77})",
                        R"({"label":"Blue","on":false,"intensity":26})",
                        "{}",
                    }));
}

// A client that stops reading is dropped once its queue is full; the others and the device go
// on. An over-long line ends its connection after the answer that says so.
TEST_F(ControlServerTest, BadClientsAreDroppedWithoutHoldingAnythingUp) {
    server_.Stop();
    server_.SetQueueLimit(64 * 1024);
    ASSERT_TRUE(server_.Start(SocketPath()).Ok());
    const auto sleeper = Client();
    ASSERT_EQ(Ask(*sleeper, {{"op", "subscribe"}})["ok"], true);
    // Far more than the socket's own buffers and the queue hold.
    const std::string text(16 * 1024, 'x');
    for (int i = 0; i < 200 && server_.DroppedClients() == 0; ++i)
        service_.Events().Publish({"message", {}, {{"text", text}}});
    EXPECT_EQ(server_.DroppedClients(), 1u);
    while (sleeper->ReadLine(kPatience)) {
    }
    const auto client = Client();
    ASSERT_TRUE(client->SendLine(std::string(ControlProtocol::kMaxLineBytes + 1, ' ')));
    EXPECT_EQ(client->ReadLine(kPatience)->dump(),
              R"({"id":null,"ok":false,"error":"The request line is longer than 65536 bytes; )"
              R"(the connection is closed."})");
    EXPECT_FALSE(client->ReadLine(kPatience));
    EXPECT_EQ(Ask(*Client(), {{"op", "connect"}})["ok"], true);
}

// Only the same user: the peer's user is checked on every connection, and the default place's
// folder is private.
TEST_F(ControlServerTest, OnlyTheSameUserIsServed) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const unsigned me = ControlSocket::CurrentUser();
    EXPECT_EQ(ControlSocket::PeerProcess(pair[0], me), getpid());
    EXPECT_EQ(ControlSocket::PeerProcess(pair[0], me + 1), std::nullopt);
    close(pair[0]);
    close(pair[1]);

    server_.Stop();
    server_.SetAllowedUser(me + 1);
    ASSERT_TRUE(server_.Start(SocketPath()).Ok());
    const auto stranger = Client();
    stranger->SendLine(R"({"op": "status"})");
    EXPECT_FALSE(stranger->ReadLine(kPatience));

    server_.Stop();
    server_.SetAllowedUser(me);
    const ScopedEnvironmentVariable runtime("XDG_RUNTIME_DIR", dir_.Path().string());
    ASSERT_TRUE(server_.Start().Ok());
    EXPECT_EQ(server_.SocketPath(), dir_.Path() / "ostra/control.sock");
    struct stat folder {};
    ASSERT_EQ(stat((dir_.Path() / "ostra").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    // A second server is refused while the first serves.
    ControlServer second(service_);
    EXPECT_EQ(second.Start(server_.SocketPath()).Message(),
              L"Another Ostra program serves the control socket (" +
                  server_.SocketPath().wstring() + L").");
}

}  // namespace
