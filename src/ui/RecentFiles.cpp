#include "ui/RecentFiles.h"

#include <algorithm>
#include <sstream>

namespace {

const std::wstring kRecent = L"recent ";
const std::wstring kFolder = L"folder ";
const std::wstring kOption = L"option ";

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring Find(const Pairs& pairs, const std::wstring& key) {
    for (const auto& [name, value] : pairs) {
        if (name == key) {
            return value;
        }
    }
    return L"";
}

// A key is one word: it ends where the value begins. A value is one line of the file.
void Set(Pairs& pairs, const std::wstring& key, const std::wstring& value) {
    if (key.empty() || key.find_first_of(L" \n") != std::wstring::npos || value.empty() ||
        value.find(L'\n') != std::wstring::npos) {
        return;
    }
    for (auto& [name, known] : pairs) {
        if (name == key) {
            known = value;
            return;
        }
    }
    pairs.emplace_back(key, value);
}

// "PREFIX KEY VALUE" to KEY and VALUE.
void Read(const std::wstring& line, const std::wstring& prefix, Pairs& pairs) {
    const std::size_t blank = line.find(L' ', prefix.size());
    if (blank != std::wstring::npos) {
        Set(pairs, line.substr(prefix.size(), blank - prefix.size()), line.substr(blank + 1));
    }
}

}  // namespace

void RecentFiles::Add(const std::wstring& path) {
    if (path.empty()) {
        return;
    }
    Remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > kMaxFiles) {
        files_.resize(kMaxFiles);
    }
}

void RecentFiles::Remove(const std::wstring& path) {
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
}

std::wstring RecentFiles::LastFolder(const std::wstring& kind) const {
    return Find(folders_, kind);
}

void RecentFiles::SetLastFolder(const std::wstring& kind, const std::wstring& folder) {
    Set(folders_, kind, folder);
}

std::wstring RecentFiles::Option(const std::wstring& name) const {
    return Find(options_, name);
}

void RecentFiles::SetOption(const std::wstring& name, const std::wstring& value) {
    Set(options_, name, value);
}

std::wstring RecentFiles::ToText() const {
    std::wstring text;
    for (const std::wstring& file : files_) {
        text += kRecent + file + L"\n";
    }
    for (const auto& [kind, folder] : folders_) {
        text += kFolder + kind + L" " + folder + L"\n";
    }
    for (const auto& [name, value] : options_) {
        text += kOption + name + L" " + value + L"\n";
    }
    return text;
}

RecentFiles RecentFiles::FromText(const std::wstring& text) {
    RecentFiles recent;
    std::wistringstream lines(text);
    std::wstring line;
    std::vector<std::wstring> files;
    while (std::getline(lines, line)) {
        if (line.starts_with(kRecent) && line.size() > kRecent.size()) {
            files.push_back(line.substr(kRecent.size()));
        } else if (line.starts_with(kFolder)) {
            Read(line, kFolder, recent.folders_);
        } else if (line.starts_with(kOption)) {
            Read(line, kOption, recent.options_);
        }
    }
    // Oldest first, so that the newest ends on top under the same rules as Add.
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        recent.Add(*file);
    }
    return recent;
}
