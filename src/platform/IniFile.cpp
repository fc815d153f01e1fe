#include "platform/IniFile.h"

#include "app/Error.h"

#include <charconv>
#include <utility>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tl {

namespace {

// ---- text helpers -------------------------------------------------------------

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

// A value as the profile routines hand it out: blanks trimmed, one pair of
// surrounding double quotes removed, at most kIniMaxValueLength characters.
std::string CookValue(std::string_view raw)
{
    std::string_view v = TrimBlanks(raw);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    if (v.size() > kIniMaxValueLength)
        v = v.substr(0, kIniMaxValueLength);
    return std::string(v);
}

// A value must stay on its line: a line break inside it would end the line
// early and let the rest pose as further keys or sections of the file.
std::string_view SingleLine(std::string_view value)
{
    const auto cut = value.find_first_of("\r\n");
    return cut == std::string_view::npos ? value : value.substr(0, cut);
}

// ---- line structure -------------------------------------------------------------

struct Line {
    std::size_t start = 0;       // first byte of the line
    std::size_t contentEnd = 0;  // first byte of the line end (or end of text)
    std::size_t next = 0;        // first byte of the following line
};

enum class LineKind { Other, Section, Key };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;        // section name or key, trimmed
    std::size_t valueStart = 0;   // Key: first byte after '=' (absolute offset)
};

// Lines end with CR LF, LF or a lone CR. Bytes are taken as they come (NUL included).
std::vector<Line> SplitLines(const std::string& text)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    // a UTF-8 byte-order mark is not part of the first line's text
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    const std::size_t n = text.size();
    while (pos < n) {
        Line line;
        line.start = pos;
        std::size_t i = pos;
        while (i < n && text[i] != '\n' && text[i] != '\r')
            ++i;
        line.contentEnd = i;
        if (i < n) {
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
                i += 2;
            else
                i += 1;
        }
        line.next = i;
        lines.push_back(line);
        pos = i;
    }
    return lines;
}

LineInfo Classify(const std::string& text, const Line& line)
{
    LineInfo info;
    std::string_view content(text.data() + line.start, line.contentEnd - line.start);
    std::string_view trimmed = TrimBlanks(content);
    if (trimmed.empty() || trimmed.front() == ';')
        return info;
    if (trimmed.front() == '[') {
        std::string_view inner = trimmed.substr(1);
        const auto close = inner.find(']');
        if (close != std::string_view::npos)
            inner = inner.substr(0, close);
        info.kind = LineKind::Section;
        info.name = TrimBlanks(inner);
        return info;
    }
    const auto eq = content.find('=');
    if (eq == std::string_view::npos)
        return info;
    info.kind = LineKind::Key;
    info.name = TrimBlanks(content.substr(0, eq));
    info.valueStart = line.start + eq + 1;
    return info;
}

// The parsed view of one file's text.
class Layout {
public:
    explicit Layout(const std::string& text) : text_(text), lines_(SplitLines(text))
    {
        infos_.reserve(lines_.size());
        for (const auto& line : lines_)
            infos_.push_back(Classify(text_, line));
    }

    // Index of the header line of the first section with this name.
    std::optional<std::size_t> FindSection(std::string_view section) const
    {
        const std::string_view wanted = TrimBlanks(section);
        for (std::size_t i = 0; i < infos_.size(); ++i)
            if (infos_[i].kind == LineKind::Section && EqualsNoCase(infos_[i].name, wanted))
                return i;
        return std::nullopt;
    }

    // One past the last line of the section whose header is at index header.
    std::size_t SectionEnd(std::size_t header) const
    {
        std::size_t i = header + 1;
        while (i < infos_.size() && infos_[i].kind != LineKind::Section)
            ++i;
        return i;
    }

    std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const
    {
        const std::string_view wanted = TrimBlanks(key);
        const std::size_t end = SectionEnd(header);
        for (std::size_t i = header + 1; i < end; ++i)
            if (infos_[i].kind == LineKind::Key && EqualsNoCase(infos_[i].name, wanted))
                return i;
        return std::nullopt;
    }

    std::string_view RawValue(std::size_t index) const
    {
        const auto& line = lines_[index];
        const std::size_t from = infos_[index].valueStart;
        return std::string_view(text_.data() + from, line.contentEnd - from);
    }

    const std::vector<Line>& Lines() const { return lines_; }
    const std::vector<LineInfo>& Infos() const { return infos_; }

    // The line end the file already uses; CR LF for a file without one.
    std::string LineEnd() const
    {
        for (const auto& line : lines_) {
            if (line.next > line.contentEnd) {
                const std::string_view end(text_.data() + line.contentEnd, line.next - line.contentEnd);
                return std::string(end);
            }
        }
        return "\r\n";
    }

private:
    const std::string& text_;
    std::vector<Line> lines_;
    std::vector<LineInfo> infos_;
};

std::optional<std::string> Lookup(const std::string& text, const std::string& section, const std::string& key)
{
    Layout layout(text);
    const auto header = layout.FindSection(section);
    if (!header)
        return std::nullopt;
    const auto index = layout.FindKey(*header, key);
    if (!index)
        return std::nullopt;
    return CookValue(layout.RawValue(*index));
}

std::vector<std::string> SectionLines(const std::string& text, const std::string& section)
{
    std::vector<std::string> result;
    Layout layout(text);
    const auto header = layout.FindSection(section);
    if (!header)
        return result;
    const std::size_t end = layout.SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const auto& info = layout.Infos()[i];
        if (info.kind != LineKind::Key || info.name.empty())
            continue;
        result.push_back(std::string(info.name) + "=" + CookValue(layout.RawValue(i)));
    }
    return result;
}

// Replaces or adds one key; every other byte of the text stays as it was.
void Store(std::string& text, const std::string& section, const std::string& key, const std::string& value)
{
    const std::string_view cleanValue = SingleLine(value);
    const std::string_view cleanKey = TrimBlanks(SingleLine(key));
    const std::string_view cleanSection = TrimBlanks(SingleLine(section));

    Layout layout(text);
    const std::string eol = layout.LineEnd();
    const auto header = layout.FindSection(cleanSection);

    if (!header) {
        std::string addition;
        const auto& lines = layout.Lines();
        if (!lines.empty() && lines.back().next == lines.back().contentEnd)  // last line has no line end
            addition += eol;
        addition += "[";
        addition += cleanSection;
        addition += "]" + eol;
        addition += cleanKey;
        addition += "=";
        addition += cleanValue;
        addition += eol;
        text += addition;
        return;
    }

    if (const auto index = layout.FindKey(*header, cleanKey)) {
        const auto& line = layout.Lines()[*index];
        std::size_t from = layout.Infos()[*index].valueStart;
        // keep the blanks that followed '=' so a "Key = value" layout survives
        while (from < line.contentEnd && IsBlank(text[from]))
            ++from;
        text.replace(from, line.contentEnd - from, cleanValue);
        return;
    }

    // New key: after the last non-blank line of the section, so blank lines
    // that separate it from the next section stay where they are.
    const std::size_t end = layout.SectionEnd(*header);
    std::size_t last = *header;
    for (std::size_t i = *header + 1; i < end; ++i) {
        const auto& line = layout.Lines()[i];
        const std::string_view content(text.data() + line.start, line.contentEnd - line.start);
        if (!TrimBlanks(content).empty())
            last = i;
    }
    const auto& lastLine = layout.Lines()[last];
    std::string addition;
    if (lastLine.next == lastLine.contentEnd)  // last line of the file without a line end
        addition += eol;
    addition += cleanKey;
    addition += "=";
    addition += cleanValue;
    addition += eol;
    text.insert(lastLine.next, addition);
}

// ---- file access ------------------------------------------------------------------

std::string LoadFile(const std::string& file)
{
    std::error_code ec;
    // only regular files: a folder or a pipe under that name reads as empty
    if (file.empty() || !fs::is_regular_file(file, ec))
        return {};
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::string text;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return text;
}

bool WriteAll(const fs::path& target, const std::string& text)
{
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    out.close();
    return !out.fail();
}

[[noreturn]] void FailWrite(const std::string& file)
{
    throw Error("Unable to write to " + file);
}

// Writes through a temporary file in the same folder and renames it over the
// old file, so a failed write leaves the old file whole. When the folder does
// not allow new files but the file itself is writable, writes in place.
void SaveFile(const std::string& file, const std::string& text)
{
    if (file.empty())
        FailWrite(file);
    std::error_code ec;
    fs::path target(file);
    // write through a symbolic link to the file it names, keeping the link
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec)
            FailWrite(file);
        target = resolved;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status))
        FailWrite(file);
    // a read-only file stays untouched even where its folder would allow a rename
    if (exists && ::access(target.c_str(), W_OK) != 0)
        FailWrite(file);

    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    if (!fs::is_directory(folder, ec))
        FailWrite(file);

    std::random_device rd;
    const fs::path temp = folder / ("." + target.filename().string() + ".tmp" + std::to_string(rd()));
    if (WriteAll(temp, text)) {
        if (exists)
            fs::permissions(temp, status.permissions(), fs::perm_options::replace, ec);
        fs::rename(temp, target, ec);
        if (!ec)
            return;
    }
    fs::remove(temp, ec);

    if (exists && WriteAll(target, text))
        return;
    FailWrite(file);
}

} // namespace

// ---- free functions -------------------------------------------------------------------

std::string IniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& defaultValue)
{
    return IniDocument(file).ReadString(section, key, defaultValue);
}

long long IniReadInteger(const std::string& file, const std::string& section, const std::string& key,
                         long long defaultValue)
{
    const auto value = Lookup(LoadFile(file), section, key);
    if (!value || value->empty())
        return defaultValue;
    std::string_view digits = *value;
    // one leading '+' is allowed; from_chars itself takes a leading '-'
    if (digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty() || digits.front() == '-' || digits.front() == '+')
            return defaultValue;
    }
    long long result = 0;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(first, last, result);
    if (ec != std::errc() || ptr != last)
        return defaultValue;
    return result;
}

bool IniReadBool(const std::string& file, const std::string& section, const std::string& key, bool defaultValue)
{
    return IniReadInteger(file, section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> IniReadSectionLines(const std::string& file, const std::string& section)
{
    return SectionLines(LoadFile(file), section);
}

void IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value)
{
    IniDocument doc(file);
    doc.WriteString(section, key, value);
    doc.Save();
}

void IniWriteInteger(const std::string& file, const std::string& section, const std::string& key, long long value)
{
    IniWriteString(file, section, key, std::to_string(value));
}

void IniWriteBool(const std::string& file, const std::string& section, const std::string& key, bool value)
{
    IniWriteString(file, section, key, value ? "1" : "0");
}

// ---- IniDocument ------------------------------------------------------------------------

IniDocument::IniDocument(std::string file) : file_(std::move(file)), text_(LoadFile(file_)) {}

std::string IniDocument::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const
{
    auto value = Lookup(text_, section, key);
    return value ? *value : defaultValue;
}

std::vector<std::string> IniDocument::ReadSectionLines(const std::string& section) const
{
    return SectionLines(text_, section);
}

void IniDocument::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    Store(text_, section, key, value);
}

void IniDocument::Save() const
{
    SaveFile(file_, text_);
}

} // namespace tl
