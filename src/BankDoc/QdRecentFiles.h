// QdRecentFiles.h -- the banks opened last, newest first, for the window's
// Open Recent menu.
//
// The list is the document side of the menu: the window keeps it in its
// settings between runs (SetFiles at start, Files when it closes) and shows
// it. A bank opened again moves to the front; at most MAX_FILES are kept;
// a file that is gone is pruned before the menu shows, so that the menu
// offers nothing that cannot open. Whether a file exists is asked through a
// seam, so the rules are tested without touching the disk.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class CQdRecentFiles
{
public:
    static constexpr std::size_t MAX_FILES = 8;
    using TFileExists = std::function<bool(const std::string&)>;

    // fnExists: null asks the file system (a regular file at the path).
    explicit CQdRecentFiles(TFileExists fnExists = nullptr);

    // Add -- the path at the front; an earlier entry of it goes, the
    // oldest beyond MAX_FILES too. An empty path changes nothing.
    void Add(const std::string& rkstrPath);
    // Remove -- the path's entry goes (a file that no longer opens).
    void Remove(const std::string& rkstrPath);
    // Prune -- the entries whose file is gone go; true when one went.
    bool Prune();
    // SetFiles -- the list as kept between runs: empty and repeated entries
    // are left out, at most MAX_FILES taken.
    void SetFiles(const std::vector<std::string>& rkastrFiles);
    const std::vector<std::string>& Files() const { return m_astrFiles; }

    static bool FileExists(const std::string& rkstrPath);

private:
    TFileExists m_fnExists;
    std::vector<std::string> m_astrFiles;
};
