#pragma once
// Memory figures of this process as the kernel keeps them (Linux only; 0 where not known).

#include <fstream>
#include <malloc.h>
#include <string>

// The value of one line of /proc/self/status, e.g. "VmRSS:" or "VmHWM:", in megabytes.
inline double StatusMegabytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix(key);
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0;
    return 0;
}

// The peak of the process's resident memory so far, in megabytes.
inline double PeakMegabytes() { return StatusMegabytes("VmHWM:"); }

// Starts a new peak at what the process holds now, after giving the freed heap back, so that
// PeakMegabytes measures what comes after and not what an earlier run left in the heap.
inline void ResetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
