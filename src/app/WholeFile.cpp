#include "app/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/Error.h"

namespace tl {

namespace {

std::string SystemReason()
{
    return errno != 0 ? std::string(" (") + std::strerror(errno) + ")" : std::string();
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("Cannot open file \"" + path + "\"" + SystemReason());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw Error("Cannot read file \"" + path + "\"" + SystemReason());
    return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw Error("Cannot create file \"" + path + "\"" + SystemReason());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    const bool written = static_cast<bool>(out);
    out.close();
    if (!written || out.fail())
        throw Error("Cannot write file \"" + path + "\"" + SystemReason());
}

} // namespace tl
