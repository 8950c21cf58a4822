#include "platform/profile_text.h"


namespace {

// A CR that does not end a line is a blank too, so that a stray one (a file
// cut after its last CR, a CR doubled by an editor) neither glues itself to a
// name or value nor makes the writer's next line part of the one before.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

enum class Kind { Blank, Comment, Section, Entry, Other };

// One line of the text, as offsets into it.
struct Line {
    std::size_t begin = 0;
    std::size_t contentEnd = 0; // before "\r\n" / "\n"
    std::size_t end = 0;        // after the line ending, or at the end of the text
    Kind kind = Kind::Other;
    std::string_view name;      // section name or key
    std::size_t valueBegin = 0; // entries: first byte of the value
};

Line Classify(std::string_view text, std::size_t begin, std::size_t contentEnd, std::size_t end)
{
    Line line;
    line.begin = begin;
    line.contentEnd = contentEnd;
    line.end = end;
    std::string_view content = text.substr(begin, contentEnd - begin);
    std::string_view body = Trim(content);
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == ';') {
        line.kind = Kind::Comment;
    } else if (body.front() == '[') {
        body.remove_prefix(1);
        std::size_t close = body.find(']');
        line.kind = Kind::Section;
        line.name = Trim(close == std::string_view::npos ? body : body.substr(0, close));
    } else if (std::size_t eq = content.find('='); eq != std::string_view::npos) {
        line.kind = Kind::Entry;
        line.name = Trim(content.substr(0, eq));
        std::size_t v = eq + 1;
        while (v < content.size() && IsBlank(content[v]))
            ++v;
        line.valueBegin = begin + v;
    }
    return line;
}

// The line starting at pos (pos < text.size()). Lines are visited one at a
// time so that memory stays at the size of the text, whatever its shape.
Line LineAt(std::string_view text, std::size_t pos)
{
    std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t contentEnd = nl == std::string_view::npos ? text.size() : nl;
    if (nl != std::string_view::npos && contentEnd > pos && text[contentEnd - 1] == '\r')
        --contentEnd;
    return Classify(text, pos, contentEnd, end);
}

std::string_view ValueOf(std::string_view text, const Line& line)
{
    std::string_view value = Trim(text.substr(line.valueBegin, line.contentEnd - line.valueBegin));
    if (std::size_t nul = value.find('\0'); nul != std::string_view::npos)
        value = value.substr(0, nul);
    return value;
}

std::string_view LineEnding(std::string_view text)
{
    std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

bool HasStructuralByte(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

std::optional<std::string> ProfileFindValue(std::string_view text, std::string_view section,
                                            std::string_view key)
{
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = LineAt(text, pos);
        pos = line.end;
        if (line.kind == Kind::Section) {
            if (inSection)
                return std::nullopt; // only the first section of that name counts
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == Kind::Entry && SameName(line.name, key)) {
            return std::string(ValueOf(text, line));
        }
    }
    return std::nullopt;
}

bool ProfileEntryWritable(std::string_view section, std::string_view key, std::string_view value)
{
    std::string_view s = Trim(section);
    std::string_view k = Trim(key);
    if (s.empty() || k.empty())
        return false;
    if (HasStructuralByte(section) || HasStructuralByte(key) || HasStructuralByte(value))
        return false;
    if (s.find(']') != std::string_view::npos)
        return false;
    if (k.find('=') != std::string_view::npos || k.front() == '[' || k.front() == ';')
        return false;
    return true;
}

std::string ProfileSetValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value)
{
    const std::string_view eol = LineEnding(text);
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    // Blanks around a value are not part of it when read, so they are not written.
    value = Trim(value);
    // The first section of that name, its entry for the key, or its last entry.
    std::optional<Line> sectionLine, keyLine, lastEntry;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = LineAt(text, pos);
        pos = line.end;
        if (line.kind == Kind::Section) {
            if (sectionLine)
                break;
            if (SameName(line.name, sectionName))
                sectionLine = line;
        } else if (sectionLine && line.kind == Kind::Entry) {
            if (SameName(line.name, keyName)) {
                keyLine = line;
                break;
            }
            lastEntry = line;
        }
    }

    std::string out;
    out.reserve(text.size() + key.size() + value.size() + section.size() + 8);

    if (!sectionLine) {
        out.append(text);
        if (!text.empty() && text.back() != '\n')
            out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
        return out;
    }
    if (keyLine) {
        // Replace the value and whatever trailed it; keep the key as spelt and the line ending.
        out.append(text.substr(0, keyLine->valueBegin));
        out.append(value);
        out.append(text.substr(keyLine->contentEnd));
        return out;
    }

    const Line& anchor = lastEntry ? *lastEntry : *sectionLine;
    out.append(text.substr(0, anchor.end));
    if (text[anchor.end - 1] != '\n') // the anchor is the last line and has no ending
        out.append(eol);
    out.append(key).append("=").append(value).append(eol);
    out.append(text.substr(anchor.end));
    return out;
}
