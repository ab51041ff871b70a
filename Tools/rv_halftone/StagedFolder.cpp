#include "StagedFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Hidden, and never one of a command's own names; mkdtemp fills in the X's.
constexpr char kStagingName[] = "/.rv_halftone-staging-XXXXXX";

bool Matches(const std::string& name, const std::vector<std::regex>& patterns)
{
    return std::any_of(patterns.begin(), patterns.end(),
                       [&name](const std::regex& p) { return std::regex_match(name, p); });
}

}  // namespace

std::vector<std::string> OwnEntries(const std::string& dir, const std::vector<std::regex>& ownNames)
{
    std::vector<std::string> entries;
    std::error_code missing;
    if (!fs::exists(dir, missing))
        return entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.symlink_status().type() != fs::file_type::directory &&
            Matches(entry.path().filename().string(), ownNames))
            entries.push_back(entry.path().string());
    return entries;
}

CStagedFolder::CStagedFolder(std::string dir) : m_dir(std::move(dir))
{
    std::error_code made;
    fs::create_directories(m_dir, made);
    if (made)
        throw std::runtime_error(m_dir + ": " + made.message());
    std::string staging = m_dir + kStagingName;
    if (mkdtemp(staging.data()) == nullptr)
        throw std::runtime_error(m_dir + ": cannot make a staging folder in it: " +
                                 std::strerror(errno));
    m_staging = staging;
}

CStagedFolder::~CStagedFolder()
{
    std::error_code ignored;
    fs::remove_all(m_staging, ignored);
}

std::string CStagedFolder::Stage(const std::string& name)
{
    m_names.push_back(name);
    return m_staging + "/" + name;
}

void CStagedFolder::Commit(const std::vector<std::regex>& ownNames)
{
    for (const std::string& earlier : OwnEntries(m_dir, ownNames)) {
        std::error_code failed;
        fs::remove(earlier, failed);
        if (failed)
            throw std::runtime_error(earlier + ": " + failed.message());
    }
    std::vector<std::string> moved;
    for (const std::string& name : m_names) {
        const std::string target = m_dir + "/" + name;
        if (std::rename((m_staging + "/" + name).c_str(), target.c_str()) != 0) {
            const int error = errno;
            // Half a set of files would claim to be a run's output: none stays.
            for (const std::string& path : moved)
                std::remove(path.c_str());
            throw std::runtime_error(target + ": " + std::strerror(error));
        }
        moved.push_back(target);
    }
    m_names.clear();
}
