#pragma once
// The peak resident memory of this process, for benchmark programs.
#include <cstdlib>
#include <fstream>
#include <string>

// VmHWM of /proc/self/status in KB, or -1 when it cannot be read.
inline long peakKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}
