#include "publish/PublishRules.h"

#include "publish/PathText.h"
#include "publish/Utf8.h"

#include <fstream>

namespace publish {

namespace {

struct KeyName {
    const char* Name;
    int Index;
};
constexpr KeyName kKeys[] = {{"InstallDir", 0},     {"Register", 1}, {"ZipFile", 2},
                             {"ForceOverwrite", 3}, {"Execute", 4},  {"ExecutePar", 5}};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

// The key whose name, followed by "=", starts `text`; -1 when none does.
int KeyAt(std::string_view text, size_t& nameLength) {
    for (const KeyName& key : kKeys) {
        const std::string_view name = key.Name;
        if (text.size() > name.size() && text[name.size()] == '=' &&
            EqualsNoCase(text.substr(0, name.size()), name)) {
            nameLength = name.size();
            return key.Index;
        }
    }
    return -1;
}

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0x3000;
}

// Arguments pass through the XML reader's text content, which drops white space at either end
// of a value; and no control character survives a command line.
bool CheckArguments(std::string_view value, std::string& error) {
    auto points = DecodeUtf8(value);
    if (!points) {
        error = "the ExecutePar text is not valid UTF-8";
        return false;
    }
    for (char32_t c : *points) {
        if (c < 0x20 || c == 0x7F || !IsXmlChar(c)) {
            error = "the ExecutePar text holds a control character";
            return false;
        }
    }
    if (!points->empty() && (IsBlank(points->front()) || IsBlank(points->back()))) {
        error = "the ExecutePar text starts or ends with white space, which the updater would "
                "not see";
        return false;
    }
    return true;
}

} // namespace

bool PublishRules::Add(std::string_view text, std::string origin, std::string& error) {
    size_t colon = text.find(':');
    int key = -1;
    size_t nameLength = 0;
    // The pattern may itself hold ':' on Linux; the first ":<Key>=" ends it.
    while (colon != std::string_view::npos && (key = KeyAt(text.substr(colon + 1), nameLength)) < 0)
        colon = text.find(':', colon + 1);
    if (key < 0) {
        error = "a rule is PATTERN:KEY=VALUE with KEY one of InstallDir, Register, ZipFile, "
                "ForceOverwrite, Execute, ExecutePar";
        return false;
    }
    const std::string_view pattern = text.substr(0, colon);
    const std::string_view value = text.substr(colon + 1 + nameLength + 1);
    if (pattern.empty()) {
        error = "the rule has no pattern (write * for every file)";
        return false;
    }
    if (!IsValidUtf8(pattern)) {
        error = "the rule's pattern is not valid UTF-8";
        return false;
    }
    Rule rule{Glob(pattern), static_cast<Key>(key), "",
              false,         std::move(origin),     std::string(text)};
    switch (rule.RuleKey) {
    case Key::InstallDir:
        if (EqualsNoCase(value, "WINDOWSDIR") || EqualsNoCase(value, "SYSTEMDIR")) {
            rule.Value = EqualsNoCase(value, "WINDOWSDIR") ? "WINDOWSDIR" : "SYSTEMDIR";
        } else if (!EqualsNoCase(value, "CURRENTDIR")) {
            error = "InstallDir is WINDOWSDIR, SYSTEMDIR or CURRENTDIR, not \"" +
                    EscapeControls(value) + "\"";
            return false;
        }
        break;
    case Key::ExecutePar:
        if (!CheckArguments(value, error))
            return false;
        rule.Value = value;
        break;
    default:
        if (EqualsNoCase(value, "YES")) {
            rule.Flag = true;
        } else if (!EqualsNoCase(value, "NO")) {
            error = "the value of " + std::string(kKeys[key].Name) + " is YES or NO, not \"" +
                    EscapeControls(value) + "\"";
            return false;
        }
        break;
    }
    rules_.push_back(std::move(rule));
    return true;
}

bool PublishRules::LoadFile(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the rules file " + DisplayPath(path);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) // a byte-order mark from Notepad
            line.erase(0, 3);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        const size_t end = line.find_last_not_of(" \t");
        const std::string origin = DisplayPath(path) + ":" + std::to_string(number);
        if (!Add(std::string_view(line).substr(start, end + 1 - start), origin, error)) {
            error = origin + ": " + error;
            return false;
        }
    }
    return true;
}

FileSettings PublishRules::SettingsFor(std::string_view relativePath) {
    FileSettings settings;
    for (Rule& rule : rules_) {
        if (!rule.Pattern.Matches(relativePath))
            continue;
        rule.Used = true;
        switch (rule.RuleKey) {
        case Key::InstallDir:
            settings.InstallDir = rule.Value;
            break;
        case Key::Register:
            settings.Register = rule.Flag;
            break;
        case Key::ZipFile:
            settings.ZipFile = rule.Flag;
            break;
        case Key::ForceOverwrite:
            settings.ForceOverwrite = rule.Flag;
            break;
        case Key::Execute:
            settings.Execute = rule.Flag;
            break;
        case Key::ExecutePar:
            settings.ExecutePar = rule.Value;
            break;
        }
    }
    return settings;
}

std::vector<std::string> PublishRules::UnusedRules() const {
    std::vector<std::string> unused;
    for (const Rule& rule : rules_) {
        if (!rule.Used)
            unused.push_back(rule.Origin + ": " + rule.Text);
    }
    return unused;
}

} // namespace publish
