// tlcmd: runs one of the program's batch files (~convert.bat, menu.bat)
// without a shell. The commands share our standard handles, so their output
// reaches whoever runs us as our own.
#include <cstdio>

#include "platform/BatchInterpreter.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("Usage: tlcmd <batch file>\r\n", stderr);
        return 1;
    }
    tl::InstallBatchSignalForwarding();
    return tl::RunBatchFile(argv[1]);
}
