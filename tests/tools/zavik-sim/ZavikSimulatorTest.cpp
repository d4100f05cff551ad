#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/TextConversion.h"
#include "support/FaultRules.h"
#include "support/FileBytes.h"
#include "tools/zavik-sim/SimulatorFixture.h"
#include "zavik-sim/ZavikSimulator.h"

namespace {

namespace fs = std::filesystem;

std::string HexByte(std::size_t value) {
    return ToHex(Bytes{static_cast<std::uint8_t>(value)});
}

std::string Zeros(int count) {
    return " " + ToHex(Bytes(count));
}

using SimulatorTest = SimulatorFixture;

// The faulty answer is exactly the promised bytes, paced too: the next command's answer follows
// them directly, so nothing more was sent.
TEST_F(SimulatorTest, SendsExactlyThePromisedBytes) {
    const std::pair<std::wstring, std::string> rows[] = {
        {L"status=0xFA:0x0B", "02 02 02 00 0B FA 03 F0"},
        {L"silent:0x0B", ""},
        {L"half:0x0B", "02 02 02 00"},
    };
    for (const auto& [rule, sent] : rows) {
        SimulatorConfig config = Config();
        config.pace = true;
        config.faults.push_back(ParsedFault(rule));
        StartWith(config);
        ASSERT_TRUE(client_->Write(kIntensityCommand));
        EXPECT_EQ(ToHex(client_->Read(HexBytes(sent).size())), sent);
        ASSERT_TRUE(simulator_->WaitForPackets(1, kPatience));
        EXPECT_EQ(ToHex(client_->Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
    }
}

// A refused command is not carried out: the device upload test sees that.
TEST_F(SimulatorTest, ALostAnswerIsCarriedOut) {
    Start();
    simulator_->AddFault(ParsedFault(L"silent:0x0A"));
    ASSERT_TRUE(client_->Write(HexBytes("02 01 03 00 0A 85 00 03 8C")));
    ASSERT_TRUE(simulator_->WaitForPackets(1, kPatience));
    EXPECT_EQ(simulator_->State().OutputMask(), 0x0085);
}

TEST_F(SimulatorTest, HangupUnplugsTheDevice) {
    Start();
    simulator_->AddFault(ParsedFault(L"hangup:0x0B"));
    EXPECT_EQ(ToHex(client_->Exchange(kFirmwareQuery)), ToHex(kFirmwareAnswer));
    ASSERT_TRUE(client_->Write(kIntensityCommand));

    ASSERT_TRUE(simulator_->WaitForHangup(kPatience));
    EXPECT_TRUE(client_->SeesHangup());
    EXPECT_FALSE(fs::exists(fs::symlink_status(simulator_->RegisteredPath())));
    EXPECT_EQ(simulator_->State().CarriedIntensity(2), std::optional<std::uint8_t>(0x37));
}

// Its payload holds a whole StopSequence packet, which must not be carried out (and answered).
TEST_F(SimulatorTest, CommandLongerThanAnyIsRefusedWhole) {
    Start();
    EXPECT_EQ(ToHex(client_->Exchange(
                  HexBytes("02 01 41 00 33 02 01 01 00 19 03 18" + Zeros(57) + " 03 72"))),
              "02 02 02 00 33 FE 03 CC");
    EXPECT_EQ(ToHex(client_->Exchange(kIntensityCommand)), ToHex(kIntensityAnswer));
}

// Answers hold bytes a cooked line would swallow or stop at (ETX is the interrupt character),
// so the client gets them only when the emulator set the line raw.
TEST_F(SimulatorTest, LineIsRawWithoutTheClientSettingIt) {
    ZavikSimulator simulator(Config());
    ASSERT_EQ(simulator.Start(), 0);
    PtyClient plain(simulator.SlavePath(), false);
    termios settings{};
    ASSERT_EQ(tcgetattr(plain.Handle(), &settings), 0);
    EXPECT_EQ(settings.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(ToHex(plain.Exchange(HexBytes("02 01 03 00 0B 00 0A 03 02"))),
              "02 02 02 00 0B 00 03 0A");
}

TEST_F(SimulatorTest, PacketLogAndConsoleGetOneLinePerPacket) {
    std::ostringstream console;
    SimulatorConfig config = Config();
    config.verboseStream = &console;
    config.packetLogPath = dir_.Path() / "packets.txt";
    config.faults.push_back(FaultRule{FaultKind::Half, 0, {}, 0x0B, 0});
    WriteFileBytes(config.packetLogPath, "earlier run\n");
    StartWith(config);
    client_->Exchange(kFirmwareQuery);
    client_->Write(kIntensityCommand);
    client_->Read(4);
    // Complete while the emulator runs: each line is flushed before its answer goes out.
    const std::string whileRunning = ReadFileBytes(dir_.Path() / "packets.txt");
    simulator_->Stop();

    const std::string lines =
        "#1 GetFirmwareVersion; rx 02 01 01 00 01 03 00; "
        "tx 02 02 0E 00 01 00 00 5A 56 4B 2D 53 49 4D 20 31 2E 30 03 3E\n"
        "#2 SetLEDIntensity LED 2 carried 55 (intensity 200); rx 02 01 03 00 0B 02 37 03 3D; "
        "tx 02 02 02 00; faults half\n";
    EXPECT_EQ(PacketLines(console.str()), lines);
    EXPECT_EQ(PacketLines(whileRunning), "earlier run\n" + lines);
    EXPECT_EQ(PacketLines(ReadFileBytes(dir_.Path() / "packets.txt")), "earlier run\n" + lines);
}

// Rewritten after every change, before the answer goes out (a train stopped while its LED is
// off and an intensity a script set once stayed as they were), never through a link someone
// prepared at a name its temporary might take.
TEST_F(SimulatorTest, StateFileFollowsEachChange) {
    SimulatorConfig config = Config();
    config.stateFilePath = dir_.Path() / "state.txt";
    const fs::path victim = dir_.Path() / "victim.txt";
    WriteFileBytes(victim, "the operator's");
    for (const std::string suffix : {"", "_0"})
        fs::create_symlink(victim,
                           dir_.Path() / ("state.txt.tmp" + std::to_string(getpid()) + suffix));
    StartWith(config);
    const std::pair<const char*, const char*> steps[] = {
        {"0A 85 00", "outputs 0x0085"},
        {"0B 02 37", "carried 55 intensity 200"},
        {"1E 01 E8 03 00 00 00 00 00 00 D0 07 00 00 00 00 00 00 00 00 00 00",
         "led 1 carried none pulse on 1000 off 2000 loops 0\n"},
        {"0A 00 00", "outputs 0x0000"},
        {"1E 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
         "led 1 carried none pulse none\n"},
        {"15 03", "upload 3 count none"},
        {"16 03 01 00 00 00", "upload 3 count 1 received 0"},
        {"17 03 00 00 00 00 0A C8 00 00 00 00 00 00 00 00", "received 1"},
        {"18 03", "sequence 3 records 1\nupload none"},
        {"14 03", "led 0 carried none intensity 200 pulse none\n"}};
    for (const auto& [payload, shown] : steps) {
        Command(payload);
        EXPECT_NE(ReadFileBytes(config.stateFilePath).find(shown), std::string::npos) << payload;
    }
    // The state's text is pinned with the command interpreter.
    EXPECT_EQ(ReadFileBytes(config.stateFilePath), WideToNarrow(simulator_->State().Describe()));
    EXPECT_EQ(ReadFileBytes(victim), "the operator's");
}

// A link to a gone tty with no process ID beside it (ProgramTest covers a dead owner's).
TEST_F(SimulatorTest, ReplacesALinkToAGoneTty) {
    fs::create_directories(PortDirectory());
    const fs::path entry = PortDirectory() / "Zavik Driver Virtual Com Port (COM4)";
    fs::create_symlink(dir_.Path() / "gone" / "tty", entry);
    Start();
    EXPECT_EQ(fs::read_symlink(entry), simulator_->SlavePath());
}

// The entry of a live emulator, and one that is no link, are refused and left as they were.
TEST_F(SimulatorTest, RefusesAnEntryOfALiveDeviceOrNoLink) {
    ZavikSimulator first(Config());
    ASSERT_EQ(first.Start(), 0);
    ZavikSimulator second(Config(), &log_);
    EXPECT_EQ(second.Start(), -1);
    second.Stop();
    EXPECT_EQ(fs::read_symlink(first.RegisteredPath()), first.SlavePath());
    const fs::path entry = PortDirectory() / "Zavik Driver Virtual Com Port (COM4)";
    first.Stop();
    WriteFileBytes(entry, "mine");
    EXPECT_EQ(ZavikSimulator(Config(), &log_).Start(), -1);
    EXPECT_EQ(ReadFileBytes(entry), "mine");
    const std::wstring error = L"PortRegistration::Register() - Error, ";
    EXPECT_EQ(log_.messages,
              (Messages{{LogLevel::Error,
                         error + L"Zavik Driver Virtual Com Port (COM4) is already registered in " +
                             PortDirectory().wstring() + L" for the live device " +
                             first.SlavePath().wstring() +
                             L".  Stop the emulator that uses it or choose another port number."},
                        {LogLevel::Error,
                         error + entry.wstring() +
                             L" exists and is not a symbolic link.  It was left alone."}}));
}

// A port directory another user made could hand the user's clients to that user's device.
TEST_F(SimulatorTest, RefusesAPortDirectoryOfAnotherUser) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    fs::create_directories(PortDirectory());
    chmod(PortDirectory().c_str(), 0777);
    ASSERT_EQ(chown(PortDirectory().c_str(), 65534, 65534), 0);
    ZavikSimulator simulator(Config());
    EXPECT_EQ(simulator.Start(), -1);
    EXPECT_TRUE(fs::is_empty(PortDirectory()));
}

TEST_F(SimulatorTest, FirmwareTextFillsAtMostTheLargestResponse) {
    SimulatorConfig config = Config();
    config.firmwareVersion = std::wstring(1026, L'x');
    ZavikSimulator tooLong(config, &log_);
    EXPECT_EQ(tooLong.Start(), -1);
    EXPECT_EQ(log_.messages, (Messages{{LogLevel::Error,
                                        L"ZavikSimulator::Start() - Error, the firmware version "
                                        L"text is longer than 1025 characters."}}));
    config.firmwareVersion.pop_back();
    StartWith(config);
    const Bytes answer = client_->Exchange(kFirmwareQuery);
    ASSERT_EQ(answer.size(), 1034u);
    EXPECT_EQ(ToHex(Bytes(answer.begin(), answer.begin() + 7)), "02 02 04 04 01 00 00");
}

// Sequence 3 turns Blue on with TTL 3 high for 1 ms, twice (a loop), and calls sequence 4, which
// only sets Red's intensity; meanwhile Green pulses twice (0.2 ms on, 0.1 off). The record shows
// each change at its device step.
TEST_F(SimulatorTest, ScriptsAndPulseTrainsRunInDeviceTime) {
    SimulatorConfig config = Config();
    config.eventsPath = dir_.Path() / "events.tsv";
    StartWith(config);
    const auto upload = [&](int number, const std::vector<std::string>& records) {
        const std::string n = HexByte(number);
        Command("15 " + n);
        Command("16 " + n + " " + HexByte(records.size()) + " 00 00 00");
        for (std::size_t i = 0; i < records.size(); ++i)
            Command("17 " + n + " " + HexByte(i) + " 00 00 00 " + records[i]);
        EXPECT_EQ(Command("18 " + n), HexBytes("02 02 02 00 18 00 03 19"));
    };
    upload(4, {"0C 07" + Zeros(8), "FF" + Zeros(9)});
    upload(3, {"01 01 00 01 00 08 08 00 00 00", "00 09" + Zeros(8), "01 00 00 01 00 00 08 00 00 00",
               "06 00 00 00 00 00 02 00 00 00", "05 04" + Zeros(8), "FF" + Zeros(9)});
    Command("1E 02 02" + Zeros(7) + " 01" + Zeros(7) + " 02 00 00 00");
    Command("14 03");
    simulator_->AdvanceClock(std::chrono::milliseconds(10));
    EXPECT_EQ(simulator_->State().RunningSequence(), std::nullopt);
    // The header and every lane's state open each record; Green's pulse train is on in the second.
    const auto start = [](const std::string& green) {
        return "time_ms\tlane\tvalue\tsource\n0.0\tBlue\toff\tinitial\n"
               "0.0\tBlue intensity\t0\tinitial\n0.0\tGreen\t" +
               green +
               "\tinitial\n0.0\tGreen intensity\t0\tinitial\n0.0\tRed\toff\tinitial\n"
               "0.0\tRed intensity\t0\tinitial\n0.0\tTTL 3\tlow\tinitial\n"
               "0.0\tTTL 4\tlow\tinitial\n0.0\tTTL 5\tlow\tinitial\n0.0\tTTL 6\tlow\tinitial\n";
    };
    EXPECT_EQ(ReadFileBytes(config.eventsPath),
              start("off") + "0.0\tGreen\ton\tpulse train\n" +
                  "# sequence 3 start at 0.0 ms; times below count from here\n" + start("on") +
                  "0.0\tBlue\ton\tseq 3 command 0\n0.0\tTTL 3\thigh\tseq 3 command 0\n"
                  "0.2\tGreen\toff\tpulse train\n0.3\tGreen\ton\tpulse train\n"
                  "0.5\tGreen\toff\tpulse train\n"
                  "1.0\tBlue\toff\tseq 3 command 2\n1.0\tTTL 3\tlow\tseq 3 command 2\n"
                  "1.2\tBlue\ton\tseq 3 command 0\n1.2\tTTL 3\thigh\tseq 3 command 0\n"
                  "2.2\tBlue\toff\tseq 3 command 2\n2.2\tTTL 3\tlow\tseq 3 command 2\n"
                  "2.5\tRed intensity\t7\tseq 4 command 0\n"
                  "# sequence 3 end at 2.6 ms, ended after 2.6 ms; times below count from the "
                  "emulator's start\n");
}

// A client killed after writing leaves neither its answer nor exclusive mode to the next one.
TEST_F(SimulatorTest, AClientThatGoesAwayLeavesNothingBehind) {
    Start();
    ASSERT_EQ(ioctl(client_->Handle(), TIOCEXCL), 0);
    ASSERT_TRUE(client_->Write(kFirmwareQuery));
    ASSERT_TRUE(simulator_->WaitForPackets(1, kPatience));
    client_.reset();
    PtyClient next(simulator_->RegisteredPath());
    int exclusive = 1;
    for (auto end = std::chrono::steady_clock::now() + kPatience;
         exclusive != 0 && std::chrono::steady_clock::now() < end;)
        ASSERT_EQ(ioctl(next.Handle(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(ToHex(next.Exchange(kIntensityCommand)), ToHex(kIntensityAnswer));
}

TEST_F(SimulatorTest, KeepsTheMostRecentPacketsRawAndDecoded) {
    SimulatorConfig config = Config();
    config.packetHistory = 2;
    StartWith(config);
    for (const Bytes& command :
         {kFirmwareQuery, kIntensityCommand, HexBytes("02 01 01 00 01 03 01")})
        client_->Exchange(command);
    const std::vector<PacketRecord> packets = simulator_->Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(simulator_->PacketCount(), 3u);
    EXPECT_EQ(
        packets[0].ToLine() + L"\n" + packets[1].ToLine(),
        L"#2 SetLEDIntensity LED 2 carried 55 (intensity 200); rx 02 01 03 00 0B 02 37 03 3D; "
        L"tx 02 02 02 00 0B 00 03 0A\n#3 invalid packet (bad checksum 0x01, expected 0x00) "
        L"for GetFirmwareVersion; rx 02 01 01 00 01 03 01; tx 02 02 02 00 01 FF 03 FF");
    EXPECT_TRUE(packets[0].valid && !packets[1].valid);
}

// A script without EndOfSequence: a warning, or under --strict a refused upload.
TEST_F(SimulatorTest, ChecksAScriptAtTheEndOfItsUpload) {
    for (const bool strict : {false, true}) {
        SimulatorConfig config = Config();
        config.strictScripts = strict;
        log_.messages.clear();
        StartWith(config);
        for (const char* payload :
             {"15 03", "16 03 01 00 00 00", "17 03 00 00 00 00 01 05 00 05 00 00 00 00 00 00"})
            Command(payload);
        EXPECT_EQ(ToHex(Command("18 03")),
                  strict ? "02 02 02 00 18 FD 03 E4" : "02 02 02 00 18 00 03 19");
        EXPECT_EQ(
            log_.messages,
            (Messages{{LogLevel::Warning, std::wstring(L"Sequence 3: the last command is not "
                                                       L"EndOfSequence") +
                                              (strict ? L"; the upload is refused." : L".")}}));
    }
}

}  // namespace
