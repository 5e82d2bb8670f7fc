// Stands in for the system information tool in the about box tests. It writes how it was started
// (its program path, then one line per argument) to the file named by PLENVARO_PROBE_FILE, through a
// scratch file and a rename, so a reader never sees half a report.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    const char* target = std::getenv("PLENVARO_PROBE_FILE");
    if (target == nullptr || *target == '\0')
        return 2;
    const std::string scratch = std::string(target) + ".part";
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < argc; ++i)
            out << argv[i] << '\n';
        if (!out)
            return 1;
    }
    return std::rename(scratch.c_str(), target) == 0 ? 0 : 1;
}
