#include "zavik-sim/PacketRecord.h"

#include "zavik-sim/HexText.h"

std::wstring PacketRecord::ToLine() const {
    std::wstring line = L"#" + std::to_wstring(number) + L" " + description + L"; rx " +
                        HexText::Dump(received) + L"; tx " +
                        (sent.empty() ? std::wstring(L"none") : HexText::Dump(sent));
    for (std::size_t i = 0; i < faults.size(); ++i) {
        line += (i == 0 ? L"; faults " : L", ") + FaultKindName(faults[i]);
    }
    return line;
}
