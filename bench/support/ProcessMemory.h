#pragma once
// Memory figures of this process as the kernel keeps them (Linux only; 0 where not known).

#include <fstream>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Gives the freed memory back and starts the peak again from the present resident set.
inline void ResetPeak()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}
