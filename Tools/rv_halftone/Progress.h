// Progress of long work as one line that updates in place on a terminal; silent otherwise, so that
// piped or captured output stays clean.
#pragma once

#include <string>

class Progress
{
public:
    explicit Progress(std::string what);
    ~Progress();  // clears the line
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Update(long long done, long long total);

private:
    std::string m_what;
    bool m_terminal;
    int m_lastPercent = -1;
};
