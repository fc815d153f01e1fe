#include "app/Format.h"

#include <cstdio>
#include <vector>

namespace tl {

std::string Format(const std::string& format, std::initializer_list<FormatArg> args)
{
    std::vector<FormatArg> values(args);
    std::size_t next = 0;
    std::string out;
    out.reserve(format.size() + 32);
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[-][0][width][.precision]conv
        std::size_t j = i + 1;
        while (j < format.size() && (format[j] == '-' || format[j] == '0' || format[j] == ' ' || format[j] == '+'))
            ++j;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
            ++j;
        if (j < format.size() && format[j] == '.') {
            ++j;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                ++j;
        }
        if (j >= format.size()) {
            out.append(format, i, std::string::npos);
            break;
        }
        char conv = format[j];
        std::string flags = format.substr(i, j - i);
        std::string piece = format.substr(i, j - i + 1);
        bool done = false;
        if (next < values.size()) {
            const FormatArg& v = values[next];
            char buf[128];
            if ((conv == 'd' || conv == 'u' || conv == 'x' || conv == 'X') && std::holds_alternative<std::int64_t>(v)) {
                std::string f = flags + "ll" + conv;
                std::snprintf(buf, sizeof buf, f.c_str(), static_cast<long long>(std::get<std::int64_t>(v)));
                out += buf;
                done = true;
            } else if ((conv == 'f' || conv == 'g' || conv == 'e') && std::holds_alternative<double>(v)) {
                std::string f = flags + conv;
                std::snprintf(buf, sizeof buf, f.c_str(), std::get<double>(v));
                out += buf;
                done = true;
            } else if ((conv == 'f' || conv == 'g' || conv == 'e') && std::holds_alternative<std::int64_t>(v)) {
                std::string f = flags + conv;
                std::snprintf(buf, sizeof buf, f.c_str(), static_cast<double>(std::get<std::int64_t>(v)));
                out += buf;
                done = true;
            } else if (conv == 's' && std::holds_alternative<std::string>(v)) {
                out += std::get<std::string>(v);
                done = true;
            }
        }
        if (done)
            ++next;
        else
            out += piece;
        i = j;
    }
    return out;
}

} // namespace tl
