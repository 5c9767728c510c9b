#include "trace_script.h"

#include <cstdio>

#include "trace_names.h"

namespace tavro::trace {

namespace {

// A word of a line: bare (a command, a name, a number) or a quoted string, already
// unescaped.
struct Word {
    std::string text;
    bool quoted = false;
};

// Thrown inside the reading of one line and turned into a ScriptError with the line
// number by parseScript, so the helpers need not thread a result through every call.
struct LineError {
    std::string reason;
};

std::string describeStray(unsigned char c)
{
    if (c == '\t')
        return "a tab outside quotes";
    if (c == '\r')
        return "a carriage return outside quotes";
    if (c >= 0x80)
        return "a non-ASCII character outside quotes";
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(c));
    return std::string("control character ") + code + " outside quotes";
}

// Only printable ASCII other than the space and the double quote may stand in a bare
// word; every keyword, name and number is made of such characters.
bool isBareWordChar(unsigned char c) { return c > 0x20 && c < 0x7F && c != '"'; }

char unescape(char escaped)
{
    switch (escaped) {
    case '\\': return '\\';
    case '"': return '"';
    case 't': return '\t';
    case 'n': return '\n';
    case 'r': return '\r';
    default: break;
    }
    throw LineError{"a backslash in a quoted string must be followed by \\, \", t, n or r"};
}

// Reads the quoted string whose opening quote is at `at`; returns the index just
// after its closing quote.
std::size_t readQuoted(std::string_view line, std::size_t at, Word& word)
{
    word.quoted = true;
    std::size_t i = at + 1;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '"')
            return i + 1;
        if (c == '\\') {
            if (i + 1 == line.size()) {
                throw LineError{"a backslash at the end of the line, in a quoted string"};
            }
            word.text += unescape(line[i + 1]);
            i += 2;
        } else {
            word.text += c;
            ++i;
        }
    }
    throw LineError{"a quoted string is not closed"};
}

std::vector<Word> splitWords(std::string_view line)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == ' ') {
            ++i;
            continue;
        }
        Word word;
        if (c == '"') {
            i = readQuoted(line, i, word);
            if (i < line.size() && line[i] != ' ') {
                throw LineError{"only spaces may follow a closing quote"};
            }
        } else {
            while (i < line.size() && line[i] != ' ') {
                const auto w = static_cast<unsigned char>(line[i]);
                if (w == '"')
                    throw LineError{"a double quote inside a word"};
                if (!isBareWordChar(w))
                    throw LineError{describeStray(w)};
                word.text += line[i];
                ++i;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string quotedForMessage(std::string_view word) { return "\"" + std::string(word) + "\""; }

const std::string& bare(const Word& word)
{
    if (word.quoted)
        throw LineError{"a quoted string may only be the value of text"};
    return word.text;
}

void expectWordCount(const std::vector<Word>& words, std::size_t count, const char* usage)
{
    if (words.size() != count)
        throw LineError{std::string("expected ") + usage};
}

// Plain ASCII digits, leading zeros allowed. The value saturates just above the
// largest count so that any number of digits is read in one pass without overflow.
std::uint32_t readExpiryCount(const std::string& digits)
{
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            throw LineError{"the count of tick must be plain decimal digits, not "
                            + quotedForMessage(digits)};
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > kMaxExpiriesPerCommand)
            value = kMaxExpiriesPerCommand + 1;
    }
    if (value < 1 || value > kMaxExpiriesPerCommand) {
        throw LineError{"the count of tick must be between 1 and 100000000"};
    }
    return value;
}

Command readCommand(const std::vector<Word>& words)
{
    const std::string& name = bare(words[0]);
    if (name == "text") {
        expectWordCount(words, 3, "text BOX \"VALUE\"");
        const auto box = lookUpName(kBoxNames, bare(words[1]));
        if (!box) {
            throw LineError{"unknown box " + quotedForMessage(words[1].text)
                            + " (length, intro, repeat, startspeed, maxspeed, linear or skip)"};
        }
        if (!words[2].quoted)
            throw LineError{"the value of text must be in double quotes"};
        return TypeText{*box, words[2].text};
    }
    if (name == "option") {
        expectWordCount(words, 2, "option NAME");
        const auto option = lookUpName(kOptionNames, bare(words[1]));
        if (!option) {
            throw LineError{"unknown option " + quotedForMessage(words[1].text)
                            + " (fourfour, threefour, twofour, inclinear or incskip)"};
        }
        return TurnOptionOn{*option};
    }
    if (name == "volume") {
        expectWordCount(words, 2, "volume high, volume medium or volume low");
        const auto item = lookUpName(kVolumeNames, bare(words[1]));
        if (!item)
            throw LineError{"unknown volume " + quotedForMessage(words[1].text)};
        return ChooseVolume{*item};
    }
    if (name == "tick") {
        if (words.size() == 1)
            return TimerExpiries{1};
        expectWordCount(words, 2, "tick or tick N");
        return TimerExpiries{readExpiryCount(bare(words[1]))};
    }
    static constexpr std::pair<std::string_view, Button> kButtons[] = {
        {"start", Button::Start},
        {"stop", Button::Stop},
        {"pause", Button::Pause},
        {"quit", Button::Quit},
    };
    for (const auto& [word, button] : kButtons) {
        if (name == word) {
            if (words.size() != 1)
                throw LineError{name + " takes nothing after it"};
            return ClickButton{button};
        }
    }
    throw LineError{"unknown command " + quotedForMessage(name)};
}

// The command of one line (without its line feed), or nothing for a blank line or a
// comment.
std::optional<Command> readLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (const auto bad = firstInvalidUtf8(line)) {
        throw LineError{"not valid UTF-8 (byte " + std::to_string(*bad + 1) + ")"};
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos || line[first] == '#')
        return std::nullopt;
    return readCommand(splitWords(line));
}

}  // namespace

ParsedScript parseScript(std::string_view script)
{
    ParsedScript parsed;
    std::size_t lineNumber = 0;
    std::size_t begin = 0;
    while (begin <= script.size()) {
        ++lineNumber;
        std::size_t end = script.find('\n', begin);
        if (end == std::string_view::npos)
            end = script.size();
        try {
            if (auto command = readLine(script.substr(begin, end - begin))) {
                parsed.commands.push_back(std::move(*command));
            }
        } catch (const LineError& error) {
            parsed.commands.clear();
            parsed.error = ScriptError{lineNumber, error.reason};
            return parsed;
        }
        begin = end + 1;
    }
    return parsed;
}

}  // namespace tavro::trace
