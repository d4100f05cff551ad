#include "ui/RecentFiles.h"

#include <algorithm>
#include <sstream>

namespace {

const std::wstring kRecent = L"recent ";
const std::wstring kFolder = L"folder ";

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
    for (const auto& [name, folder] : folders_) {
        if (name == kind) {
            return folder;
        }
    }
    return L"";
}

void RecentFiles::SetLastFolder(const std::wstring& kind, const std::wstring& folder) {
    // A kind is one word: it ends where the path begins.
    if (kind.empty() || kind.find(L' ') != std::wstring::npos || folder.empty()) {
        return;
    }
    for (auto& [name, known] : folders_) {
        if (name == kind) {
            known = folder;
            return;
        }
    }
    folders_.emplace_back(kind, folder);
}

std::wstring RecentFiles::ToText() const {
    std::wstring text;
    for (const std::wstring& file : files_) {
        text += kRecent + file + L"\n";
    }
    for (const auto& [kind, folder] : folders_) {
        text += kFolder + kind + L" " + folder + L"\n";
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
            const std::size_t blank = line.find(L' ', kFolder.size());
            if (blank != std::wstring::npos) {
                recent.SetLastFolder(line.substr(kFolder.size(), blank - kFolder.size()),
                                     line.substr(blank + 1));
            }
        }
    }
    // Oldest first, so that the newest ends on top under the same rules as Add.
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        recent.Add(*file);
    }
    return recent;
}
