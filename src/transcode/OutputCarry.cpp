#include "transcode/OutputCarry.h"

#include <cstring>

namespace tl {

void AssembleOutputLines(std::string& carry, const char* bytes, std::size_t count, bool processEnded,
                         const std::function<void(const std::string& line)>& onLine)
{
    // The chunk as text: up to the byte count or the first zero byte.
    const void* zero = count > 0 ? std::memchr(bytes, '\0', count) : nullptr;
    const std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : count;

    // Every line break as CR LF: a pair stays, a lone CR or LF becomes a pair.
    std::string text = carry;
    carry.clear();
    text.reserve(text.size() + length + length / 8);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            text += "\r\n";
            if (i + 1 < length && bytes[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }

    // While the child runs, the unfinished last line waits for the next chunk.
    if (!processEnded) {
        const std::size_t last = text.rfind("\r\n");
        if (last == std::string::npos) {
            carry = std::move(text);
            return;
        }
        carry = text.substr(last + 2);
        text.resize(last + 2);
    }

    // Hand every line on, blank ones included; a final line break ends the
    // last line rather than starting an empty one.
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            onLine(text.substr(start));
            break;
        }
        onLine(text.substr(start, end - start));
        start = end + 2;
    }
}

} // namespace tl
