#include "Script.h"

#include <cctype>
#include <cstdlib>

#include "System.h"

std::string Variables::Get(const std::string& name) const {
    auto it = values_.find(name);
    if (it != values_.end()) return it->second;
    std::string value;
    if (GetEnvironmentUtf8(name, value)) return value;
    throw Failure("variable ${" + name + "} is not defined (not set by the script, the command line or the environment)");
}

namespace {

bool IsKeyChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; }

// Expands ${NAME} or ${NAME:win} at line[pos] (pointing at '$'); returns the offset after it.
size_t Expand(const std::string& line, size_t pos, const Variables& vars, std::string& out) {
    size_t close = line.find('}', pos + 2);
    if (close == std::string::npos) throw Failure("unterminated ${ in \"" + line.substr(pos) + "\"");
    std::string name = line.substr(pos + 2, close - pos - 2);
    bool windowsPath = false;
    size_t colon = name.find(':');
    if (colon != std::string::npos) {
        std::string form = name.substr(colon + 1);
        if (form != "win") throw Failure("unknown form \":" + form + "\" in ${" + name + "} (only :win is known)");
        windowsPath = true;
        name.resize(colon);
    }
    if (name.empty()) throw Failure("empty variable name in ${}");
    std::string value = vars.Get(name);
    out += windowsPath ? UnixPathToWindows(value) : value;
    return close + 1;
}

}  // namespace

std::vector<Word> SplitLine(const std::string& line, const Variables& vars) {
    std::vector<Word> words;
    size_t i = 0;
    const size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= n) break;
        Word word;
        size_t plainEq = std::string::npos;  // offset in word.raw of the first '=' outside quotes
        bool plainKey = true;                 // everything before that '=' was plain text
        while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            char c = line[i];
            if (c == '"') {
                word.literal = true;
                if (plainEq == std::string::npos) plainKey = false;
                ++i;
                while (true) {
                    if (i >= n) throw Failure("missing closing quote");
                    char q = line[i++];
                    if (q == '"') break;
                    if (q != '\\') { word.raw += q; continue; }
                    if (i >= n) throw Failure("missing closing quote");
                    char e = line[i++];
                    switch (e) {
                    case '"': word.raw += '"'; break;
                    case '\\': word.raw += '\\'; break;
                    case 'n': word.raw += '\n'; break;
                    case 'r': word.raw += '\r'; break;
                    case 't': word.raw += '\t'; break;
                    default: throw Failure(std::string("unknown escape \\") + e + " in quotes (use \\\\ for a backslash)");
                    }
                }
            } else if (c == '$' && i + 1 < n && line[i + 1] == '{') {
                word.literal = true;
                if (plainEq == std::string::npos) plainKey = false;
                i = Expand(line, i, vars, word.raw);
            } else {
                if (c == '=' && plainEq == std::string::npos) plainEq = word.raw.size();
                word.raw += c;
                ++i;
            }
        }
        word.text = word.raw;
        if (plainEq != std::string::npos && plainKey) {
            std::string key = word.raw.substr(0, plainEq);
            Match match = Match::Exact;
            if (!key.empty() && key.back() == '~') {
                match = Match::Contains;
                key.pop_back();
            }
            bool isKey = !key.empty();
            for (char k : key) isKey = isKey && IsKeyChar(k);
            if (isKey && !std::isdigit(static_cast<unsigned char>(key[0]))) {
                word.key = key;
                word.match = match;
                word.text = word.raw.substr(plainEq + 1);
            } else if (!word.literal && (word.raw == "=" || word.raw == "~=")) {
                word.match = match;  // the operator of a check: "=" exact, "~=" contained
            }
        }
        words.push_back(word);
    }
    return words;
}

ArgReader::ArgReader(const std::string& command, const std::vector<Word>& words)
    : command_(command), words_(words), used_(words.size(), false) {}

bool ArgReader::HasNext() const {
    for (size_t i = next_; i < words_.size(); ++i)
        if (words_[i].key.empty() && !used_[i]) return true;
    return false;
}

const Word& ArgReader::Next(const char* what) {
    while (next_ < words_.size() && (!words_[next_].key.empty() || used_[next_])) ++next_;
    if (next_ >= words_.size()) throw Failure(command_ + ": missing " + what);
    used_[next_] = true;
    return words_[next_++];
}

const Word* ArgReader::NextRaw() {
    while (next_ < words_.size() && used_[next_]) ++next_;
    if (next_ >= words_.size()) return nullptr;
    used_[next_] = true;
    return &words_[next_++];
}

const Word* ArgReader::Option(const char* key) {
    for (size_t i = 0; i < words_.size(); ++i) {
        if (words_[i].key == key && !used_[i]) {
            used_[i] = true;
            return &words_[i];
        }
    }
    return nullptr;
}

unsigned long ArgReader::Millis(const char* key, unsigned long fallback) {
    const Word* word = Option(key);
    if (!word) return fallback;
    long long value = ParseNumber(*word, key);
    if (value < 0) throw Failure(command_ + ": " + key + " must not be negative");
    return static_cast<unsigned long>(value);
}

void ArgReader::Done() {
    for (size_t i = 0; i < words_.size(); ++i) {
        if (used_[i]) continue;
        if (!words_[i].key.empty()) throw Failure(command_ + ": unknown option " + words_[i].key);
        throw Failure(command_ + ": unexpected \"" + words_[i].raw + "\"");
    }
}

long long ParseNumber(const Word& word, const char* what) {
    const std::string& s = word.text;
    bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    char* end = nullptr;
    long long value = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
    if (s.empty() || *end != '\0') throw Failure(std::string(what) + ": \"" + s + "\" is not a number");
    return value;
}
