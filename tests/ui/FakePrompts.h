#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/SequenceEditor.h"
#include "ui/SequenceManager.h"

// Answers the sequence pages' questions from what the test queued (an empty queue answers as a
// cancel) and records each box as "caption|text" and the dialogs' arguments.
class FakePrompts final : public SequenceEditorPrompts, public SequenceManagerPrompts {
  public:
    std::optional<std::uint32_t> AskLoopCount() override { return Next(numbers); }
    std::optional<std::uint32_t> AskIntensity() override { return Next(numbers); }
    void ShowRuleError(const std::wstring& caption, const std::wstring& text) override {
        messages.push_back(caption + L"|" + text);
    }
    // A refused answer stays in the dialog: the next queued one is tried.
    std::optional<Properties> AskProperties(const std::vector<std::uint32_t>& offeredNumbers,
                                            std::size_t preselect, const std::wstring&,
                                            const PropertiesCheck& check) override {
        offered = offeredNumbers, offeredAt = preselect, ++dialogs;
        for (std::optional<Properties> answer; (answer = Next(properties));) {
            const std::optional<std::wstring> refusal = check ? check(*answer) : std::nullopt;
            if (!refusal)
                return answer;
            ShowRuleError(L"Sequence Properties", *refusal);
        }
        return std::nullopt;
    }
    std::wstring AskOpenFile() override { return ++dialogs, file; }
    std::wstring AskSaveFile(const std::wstring& proposed) override {
        return proposedFile = proposed, ++dialogs, file;
    }
    void ShowMessage(const std::wstring& caption, const std::wstring& text) override {
        ShowRuleError(caption, text);
    }
    void ShowInformation(const std::wstring& text) override {
        ShowRuleError(L"(information)", text);
    }
    bool Confirm(const std::wstring&, const std::wstring&) override { return true; }

    std::deque<std::optional<std::uint32_t>> numbers;  // loop counts and intensities
    std::deque<std::optional<Properties>> properties;
    std::vector<std::uint32_t> offered;
    std::size_t offeredAt = 0;
    int dialogs = 0;
    std::wstring file, proposedFile;
    std::vector<std::wstring> messages;

  private:
    template <typename T>
    static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        const std::optional<T> answer = queue.empty() ? std::nullopt : queue.front();
        if (!queue.empty())
            queue.pop_front();
        return answer;
    }
};
