#include "device/PortDirectory.h"

#include <stdexcept>

#include "foundation/TextConversion.h"

namespace PortDirectory {

std::wstring PortSuffix(int portNumber) {
    return L"(COM" + std::to_wstring(portNumber) + L")";
}

std::wstring PathText(const std::filesystem::path& path) {
    try {
        const std::u32string decoded = path.u32string();
        return std::wstring(decoded.begin(), decoded.end());
    } catch (const std::exception&) {
        return NarrowToWide(path.native());
    }
}

}  // namespace PortDirectory
