#include "sequences/SequenceContainer.h"

#include <algorithm>
#include <string>
#include <utility>

#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

// A name or command that a settings file cannot hold would end the file early when it is read
// back, and every later sequence would be lost; such texts are refused where they are given.
std::wstring ControlCharacterText(wchar_t c) {
    return L"a control character (code " + std::to_wstring(static_cast<unsigned>(c)) + L")";
}

// The longest name or command text whose line in a settings or sequence file still fits the
// 999 bytes the reader takes, with room for the largest sequence number and set index: a
// longer one would be written but could not be read back.
constexpr std::size_t kMaxStorableLength = 960;

std::wstring Decimal(std::uint32_t value) {
    return std::to_wstring(value);
}

}  // namespace

SequenceContainer::SequenceContainer() : ttlBitNames_(DeviceLimits::TTLOutputNames()) {}

SequenceContainer::~SequenceContainer() = default;

SequenceContainer::ChangeEvent::SubscriptionId SequenceContainer::SubscribeToChanges(
    ChangeEvent::Callback callback) {
    return changeEvent_.Subscribe(std::move(callback));
}

void SequenceContainer::LogError(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
}

VlrRetVal SequenceContainer::ValidateSequenceNumber(std::uint32_t number) const {
    if (number < kSequenceCount) {
        return VLR_SUCCESS;
    }
    LogError(SequenceNumberRangeText(number));
    return VLR_FAILURE;
}

std::wstring SequenceContainer::SequenceNumberRangeText(std::uint32_t number) {
    return L"Error validating sequence number.  The sequence number(" + Decimal(number) +
           L") is out of range(0.." + Decimal(kSequenceCount - 1) + L").";
}

VlrRetVal SequenceContainer::ValidateSequenceName(const std::wstring& name) const {
    if (name.empty()) {
        LogError(L"Error validating the sequence name.  The sequence name is blank.");
        return VLR_FAILURE;
    }
    if (const std::optional<wchar_t> control = MiscFunctions::FindControlCharacter(name)) {
        LogError(L"Error, the sequence name contains " + ControlCharacterText(*control) +
                 L", which a settings file cannot hold.");
        return VLR_FAILURE;
    }
    if (MiscFunctions::HoldsQuoteOrComment(name)) {
        LogError(L"Error, the sequence name (" + name +
                 L") contains a double quote, # or //, which a settings file cannot hold.");
        return VLR_FAILURE;
    }
    if (name.size() > kMaxStorableLength) {
        LogError(L"Error, the sequence name is " + std::to_wstring(name.size()) +
                 L" characters long, more than the " + std::to_wstring(kMaxStorableLength) +
                 L" a line of a settings file can hold.");
        return VLR_FAILURE;
    }
    for (const SequenceSlot& slot : slots_) {
        if (CompareNoCase(slot.Name(), name) == 0) {
            LogError(L"Error validating the sequence name, the sequence name(" + name +
                     L") must be unique.");
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::AddSequence(std::uint32_t number, const std::wstring& name) {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS ||
        ValidateSequenceName(name) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    SequenceSlot& slot = ChangeSlot(number);
    slot.SetName(name);
    slot.ClearCommandSets();
    RaiseChangeEvent(Change::Sequence(number));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::RemoveSequence(std::uint32_t number) {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!IsUsed(number)) {
        LogError(L"Error removing sequence " + Decimal(number) + L", the sequence does not exist.");
        return VLR_FAILURE;
    }
    ChangeSlot(number).Clear();
    RaiseChangeEvent(Change::Sequence(number));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::ModifySequenceNumber(std::uint32_t oldNumber,
                                                  std::uint32_t newNumber) {
    if (ValidateSequenceNumber(oldNumber) != VLR_SUCCESS ||
        ValidateSequenceNumber(newNumber) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!IsUsed(oldNumber)) {
        LogError(L"Error modifying sequence number, the sequence to be modified (" +
                 Decimal(oldNumber) + L") does not exist.");
        return VLR_FAILURE;
    }
    if (IsUsed(newNumber)) {
        LogError(L"Error modifying sequence number, the new sequence number (" +
                 Decimal(newNumber) + L") in already in use.");
        return VLR_FAILURE;
    }
    ChangeSlot(newNumber) = slots_[oldNumber];
    if (RemoveSequence(oldNumber) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    RewriteCalls(oldNumber, newNumber);
    RaiseChangeEvent(Change::Every());
    return VLR_SUCCESS;
}

// Every stored text was tokenised when it was added, so the parsed form answers what a fresh
// tokenisation would, and the rewrite cannot fail.
void SequenceContainer::RewriteCalls(std::uint32_t oldNumber, std::uint32_t newNumber) {
    const std::wstring word = SequenceCommandWords::Text(SequenceCommandWords::Word::Call);
    const std::wstring newText = word + L" " + Decimal(newNumber);
    const ParsedCommand newCall =
        ParsedCommand::FromText(newText, {word, Decimal(newNumber)}, CommandOutputNames());
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        const auto& parsedSets = slots_[number].ParsedSets();
        for (std::size_t set = 0; set < parsedSets.size(); ++set) {
            for (std::size_t index = 0; index < parsedSets[set].size(); ++index) {
                const ParsedCommand& command = parsedSets[set][index];
                if (command.IsCall() && command.TokenCount() == 2 &&
                    static_cast<std::int64_t>(command.IntegerArgument()) == oldNumber) {
                    ChangeSlot(number).ReplaceCommand(set, index, newText, newCall,
                                                      CommandOutputNames());
                }
            }
        }
    }
}

VlrRetVal SequenceContainer::RenameSequence(std::uint32_t number, const std::wstring& name) {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS ||
        ValidateSequenceName(name) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    ChangeSlot(number).SetName(name);
    RaiseChangeEvent(Change::Steps(number, 0, 0));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::ClearAllSequences() {
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        ChangeSlot(number).Clear();
    }
    RaiseChangeEvent(Change::Every());
    return VLR_SUCCESS;
}

std::vector<std::uint32_t> SequenceContainer::UsedSequenceNumbers() const {
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (IsUsed(number)) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

VlrRetVal SequenceContainer::GetAvailableSequenceNumbers(
    std::vector<std::uint32_t>& numbers) const {
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (!IsUsed(number)) {
            numbers.push_back(number);
        }
    }
    return VLR_SUCCESS;
}

// A -Call opens its step and was checked when it was added, so every stored call is in its step.
VlrRetVal SequenceContainer::IsSequenceReferenced(std::uint32_t number, bool& referenced) const {
    referenced = false;
    for (const SequenceSlot& slot : slots_) {
        for (std::size_t set = 0; slot.IsUsed() && set < slot.CommandSetCount(); ++set) {
            if (slot.StepAt(set).call == number) {
                referenced = true;
                return VLR_SUCCESS;
            }
        }
    }
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::ValidateCommandSetIndex(std::uint32_t number,
                                                     std::uint32_t set) const {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const std::size_t count = slots_[number].CommandSetCount();
    if (set < count) {
        return VLR_SUCCESS;
    }
    const std::wstring head = L"Error validating command set index(" + Decimal(set) +
                              L") for sequence " + Decimal(number);
    if (count == 0) {
        LogError(head + L", a command set has not yet been created for the specified sequence.");
    } else {
        LogError(head + L", the value is out of range(0.." +
                 Decimal(static_cast<std::uint32_t>(count - 1)) + L").");
    }
    return VLR_FAILURE;
}

VlrRetVal SequenceContainer::AddCommandSet(std::uint32_t number, std::uint32_t set) {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!IsUsed(number)) {
        LogError(L"Error adding command set(" + Decimal(set) +
                 L"), a sequence does not exist at the specified index(" + Decimal(number) + L").");
        return VLR_FAILURE;
    }
    const std::size_t count = slots_[number].CommandSetCount();
    if (set > count) {
        LogError(L"Error adding command set for sequence " + Decimal(number) +
                 L", the command set index(" + Decimal(set) + L") is out of range(0.." +
                 Decimal(static_cast<std::uint32_t>(count)) + L").");
        return VLR_FAILURE;
    }
    ChangeSlot(number).InsertCommandSet(set);
    RaiseChangeEvent(Change::Steps(number, set, Change::kToTheEnd));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::RemoveCommandSet(std::uint32_t number, std::uint32_t set) {
    if (ValidateCommandSetIndex(number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    ChangeSlot(number).RemoveCommandSet(set);
    RaiseChangeEvent(Change::Steps(number, set, Change::kToTheEnd));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::ClearCommandSet(std::uint32_t number, std::uint32_t set) {
    if (ValidateCommandSetIndex(number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    ChangeSlot(number).ClearCommandSet(set);
    RaiseChangeEvent(Change::Steps(number, set, set + 1));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::SwapCommandSets(std::uint32_t number, std::uint32_t setA,
                                             std::uint32_t setB) {
    if (ValidateCommandSetIndex(number, setA) != VLR_SUCCESS ||
        ValidateCommandSetIndex(number, setB) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    ChangeSlot(number).SwapCommandSets(setA, setB);
    RaiseChangeEvent(Change::Steps(number, std::min(setA, setB), std::max(setA, setB) + 1));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::AppendCheckedCommand(std::uint32_t number, std::uint32_t set,
                                                  const std::wstring& text, bool& isCall) {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (!IsUsed(number)) {
        LogError(L"Error adding command, a sequence does not exist at the specified index(" +
                 Decimal(number) + L").");
        return VLR_FAILURE;
    }
    if (ValidateCommandSetIndex(number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (const std::optional<wchar_t> control = MiscFunctions::FindControlCharacter(text)) {
        LogError(L"Error adding command to sequence " + Decimal(number) + L" and command set " +
                 Decimal(set) + L".  The command contains " + ControlCharacterText(*control) +
                 L", which a settings file cannot hold.");
        return VLR_FAILURE;
    }
    Arguments tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(text, tokens, error) != VLR_SUCCESS) {
        LogError(error);
        return VLR_FAILURE;
    }
    if (VerifyCommand(text, tokens, number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    // Numbers are read from their leading digits, so "-Duration 5#" or a quoted argument would
    // pass verification; the settings file could not hold them.
    if (MiscFunctions::HoldsQuoteOrComment(text)) {
        LogError(L"Error adding command(" + text + L") to sequence " + Decimal(number) +
                 L" and command set " + Decimal(set) +
                 L".  The command contains a double quote, # or //, which a settings file "
                 L"cannot hold.");
        return VLR_FAILURE;
    }
    if (text.size() > kMaxStorableLength) {
        LogError(L"Error adding command to sequence " + Decimal(number) + L" and command set " +
                 Decimal(set) + L".  The command is " + std::to_wstring(text.size()) +
                 L" characters long, more than the " + std::to_wstring(kMaxStorableLength) +
                 L" a line of a settings file can hold.");
        return VLR_FAILURE;
    }
    const ParsedCommand parsed = ParsedCommand::FromText(text, tokens, CommandOutputNames());
    if (Judge(StepRules::CheckSharing(*parsed.CommandWord(), slots_[number].IsCommandSetEmpty(set)),
              text, number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    ChangeSlot(number).AppendCommand(set, text, parsed, CommandOutputNames());
    isCall = parsed.IsCall();
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::AddCommand(std::uint32_t number, std::uint32_t set,
                                        const std::wstring& text) {
    bool isCall = false;
    if (AppendCheckedCommand(number, set, text, isCall) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    if (isCall && CheckAddedCall(number, CalledSequence(number, set)) != VLR_SUCCESS) {
        ChangeSlot(number).RemoveLastCommand(set, CommandOutputNames());
        return VLR_FAILURE;
    }
    RaiseChangeEvent(Change::Steps(number, set, set + 1));
    return VLR_SUCCESS;
}

std::uint32_t SequenceContainer::CalledSequence(std::uint32_t number, std::uint32_t set) const {
    return slots_[number].StepAt(set).call.value_or(kSequenceCount);
}

VlrRetVal SequenceContainer::ReplaceCommandSet(std::uint32_t number, std::uint32_t set,
                                               const std::vector<std::wstring>& texts) {
    if (ValidateCommandSetIndex(number, set) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    // Each command is checked against the ones before it (a -Loop or -Call must open its set),
    // so the new set is built in place and the old one put back when any is refused.
    const CommandSet oldTexts = slots_[number].CommandSetAt(set);
    const std::vector<ParsedCommand> oldParsed = slots_[number].ParsedSets()[set];
    ChangeSlot(number).ClearCommandSet(set);
    bool hasCall = false;
    bool accepted = true;
    for (const std::wstring& text : texts) {
        bool isCall = false;
        if (AppendCheckedCommand(number, set, text, isCall) != VLR_SUCCESS) {
            accepted = false;
            break;
        }
        hasCall = hasCall || isCall;
    }
    if (accepted && hasCall) {
        accepted = TimeEveryUsedSequence() == VLR_SUCCESS;
    }
    if (!accepted) {
        ChangeSlot(number).RestoreCommandSet(set, oldTexts, oldParsed, CommandOutputNames());
        return VLR_FAILURE;
    }
    RaiseChangeEvent(Change::Steps(number, set, set + 1));
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::GetSequenceLabel(std::uint32_t number, std::wstring& label) const {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    label = Decimal(number) + L"." + slots_[number].Name();
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::ExtractSequenceNumberFromLabel(const std::wstring& label,
                                                            std::uint32_t& number) const {
    const std::size_t blank = label.find(L' ');
    const std::size_t start = blank == std::wstring::npos ? 0 : blank + 1;
    const std::size_t point = label.find(L'.');
    if (point == std::wstring::npos || point == start) {
        LogError(L"Error extracting sequence number from label(" + label +
                 L"), the label may be formatted incorrectly.");
        return VLR_FAILURE;
    }
    const std::wstring digits =
        point < start ? label.substr(start) : label.substr(start, point - start);
    number = static_cast<std::uint32_t>(ArgumentReading::ReadInteger(digits));
    return VLR_SUCCESS;
}

const std::wstring& SequenceContainer::GetSequenceName(std::uint32_t number) const {
    static const std::wstring kNoName;
    return number < kSequenceCount ? slots_[number].Name() : kNoName;
}

const std::vector<CommandSet>& SequenceContainer::GetCommandSets(std::uint32_t number) const {
    static const std::vector<CommandSet> kNoSets;
    return number < kSequenceCount ? slots_[number].CommandSets() : kNoSets;
}

ParsedCommand::OutputNames SequenceContainer::CommandOutputNames() const {
    return {colorLabels_, ttlBitNames_};
}

void SequenceContainer::SetColorLabels(const std::vector<std::wstring>& labels) {
    colorLabels_ = labels;
    for (SequenceSlot& slot : slots_) {
        slot.ResolveOutputs(CommandOutputNames());
    }
}

void SequenceContainer::SetTTLBitNames(const std::vector<std::wstring>& names) {
    ttlBitNames_ = names;
    for (SequenceSlot& slot : slots_) {
        slot.ResolveOutputs(CommandOutputNames());
    }
}

bool SequenceContainer::IsValidColor(const std::wstring& label) const {
    return FindNoCase(colorLabels_, label).has_value();
}
