// An output folder whose files appear together or not at all.
//
// Every file is first written under a staging folder of its own inside the output folder (made new
// for this run, so no name in it was there before); Commit() then removes the earlier runs' files
// of the same names and moves the new ones in by rename. A rename replaces a name, never writes
// through it: a link left in the folder is replaced, not followed, and no file that was there is
// written into. A run that ends before Commit() leaves the folder as it found it.
#pragma once

#include <regex>
#include <string>
#include <vector>

class CStagedFolder
{
public:
    // Makes `dir` (and its parents) and the staging folder in it; throws std::runtime_error with
    // the path and the reason when it cannot.
    explicit CStagedFolder(std::string dir);
    // Removes the staging folder with whatever is still in it; no exception leaves it.
    ~CStagedFolder();
    CStagedFolder(const CStagedFolder&) = delete;
    CStagedFolder& operator=(const CStagedFolder&) = delete;

    // Where to write the file that is to become `name` in the folder.
    std::string Stage(const std::string& name);

    // Removes every entry of the folder (a file or a link, never what a link points to) whose whole
    // name matches `ownNames`, then moves the staged files in, in the order they were staged.
    // Throws std::runtime_error naming the file when a step fails, after taking out again what it
    // had moved in.
    void Commit(const std::vector<std::regex>& ownNames);

private:
    std::string m_dir;
    std::string m_staging;
    std::vector<std::string> m_names;
};

// The entries of `dir` (files, links, anything but folders) whose whole name matches `ownNames`;
// none when `dir` does not exist.
std::vector<std::string> OwnEntries(const std::string& dir, const std::vector<std::regex>& ownNames);
