#include "tools/ostra-cli/CliFixture.h"

#include <algorithm>
#include <sstream>

#include "support/FileBytes.h"

CliFixture::CliFixture() {
    for (const char* name : {"tmp", "appdata", "ports", "runtime"})
        std::filesystem::create_directories(dir_.Path() / name);
}

std::map<std::string, std::string> CliFixture::Environment() const {
    return {{"TEMP", (dir_.Path() / "tmp").string()},
            {"APPDATA", (dir_.Path() / "appdata").string()},
            {"OSTRA_PORT_DIR", PortDirectory().string()},
            {"XDG_RUNTIME_DIR", (dir_.Path() / "runtime").string()}};
}

ProcessResult CliFixture::Run(const std::vector<std::string>& arguments) const {
    return Start(arguments)->Finish(kPatience);
}
ProcessResult CliFixture::RunOk(const std::vector<std::string>& arguments) const {
    ProcessResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result;
}
std::unique_ptr<ChildProcess> CliFixture::Start(const std::vector<std::string>& arguments) const {
    auto process = std::make_unique<ChildProcess>(OSTRA_CLI_PROGRAM, arguments, Environment());
    EXPECT_TRUE(process->IsStarted());
    return process;
}

nlohmann::ordered_json CliFixture::RunJson(const std::vector<std::string>& arguments,
                                           ProcessResult* result) const {
    std::vector<std::string> withJson{"--json"};
    withJson.insert(withJson.end(), arguments.begin(), arguments.end());
    const ProcessResult run = Run(withJson);
    if (result != nullptr)
        *result = run;
    nlohmann::ordered_json json = nlohmann::ordered_json::parse(run.out, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << "not JSON: " << run.out;
    return json.is_discarded() ? nlohmann::ordered_json::object() : json;
}

void CliFixture::WriteSettings(const std::string& text) const {
    std::filesystem::create_directories(SettingsFile().parent_path());
    WriteFileBytes(SettingsFile(), text);
}

std::vector<std::filesystem::path> CliFixture::DataDirectories() const {
    std::vector<std::filesystem::path> directories;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(dir_.Path() / "tmp/VelorinData/Ostra", error))
        directories.push_back(entry.path());
    std::sort(directories.begin(), directories.end());
    return directories;
}

std::vector<Bytes> CliFixture::ReceivedPayloads() const {
    std::vector<Bytes> payloads;
    for (const Bytes& packet : driver_.Received()) {
        // Four bytes of header, two of footer.
        const Bytes payload =
            packet.size() >= 6 ? Bytes(packet.begin() + 4, packet.end() - 2) : Bytes{};
        EXPECT_EQ(ToHex(packet), ToHex(CommandPacket(payload)));
        payloads.push_back(payload);
    }
    return payloads;
}

std::vector<std::string> AfterConnect(const std::vector<std::string>& payloads) {
    std::vector<std::string> all{"01", "0B 00 E5", "0B 02 E5", "0B 01 E5"};
    all.insert(all.end(), payloads.begin(), payloads.end());
    return CanonicalHex(all);
}

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& member : object.items())
        keys.push_back(member.key());
    return keys;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}
