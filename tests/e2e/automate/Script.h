#pragma once
// The script language of automate: one command per line, words separated by blanks.
//
//   word            a plain word; a backslash is an ordinary character (Windows paths need no escaping)
//   "two words"     a quoted word; inside quotes \" \\ \n \r \t are escapes
//   key=value       an option (key of letters, digits and '-'); the value must equal
//   key~=value      an option whose value must be contained
//   ${NAME}         a variable (script `set`, command-line NAME=VALUE, or the environment)
//   ${NAME:win}     the same, a Unix path turned into the path Windows programs see
//   # ...           a comment line
//
// Words may join quoted and plain parts (title="a b"). Text that comes from quotes or variables is
// never taken for an option, an operator or a wildcard.
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// A failed step; the message is UTF-8 and says what went wrong.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

enum class Match { Exact, Contains };

struct Word {
    std::string text;           // the whole word, UTF-8 (for an option: the value)
    std::string raw;            // the word as the program would see it, '=' included (UTF-8)
    std::string key;            // option name, empty for a positional word
    Match match = Match::Exact; // for options and for the operators "=" and "~="
    bool literal = false;       // some of it was quoted or came from a variable
};

// Where variables come from: the script's own, then the command line's, then the environment.
class Variables {
public:
    void Set(const std::string& name, const std::string& value) { values_[name] = value; }
    // The value in UTF-8; throws Failure when the variable is not defined anywhere.
    std::string Get(const std::string& name) const;

private:
    std::map<std::string, std::string> values_;
};

// Splits one line into words, expanding variables. Throws Failure on a syntax error.
std::vector<Word> SplitLine(const std::string& line, const Variables& vars);

// Reads the words of one command: positional words in order, options by name. Done() rejects
// what the command did not take, so a typing error in a script fails instead of being ignored.
class ArgReader {
public:
    ArgReader(const std::string& command, const std::vector<Word>& words);

    bool HasNext() const;
    // The next positional word; throws Failure naming `what` when there is none.
    const Word& Next(const char* what);
    // The next positional word as it stands, options included (for command lines of programs).
    const Word* NextRaw();
    // The option `key`, or nullptr.
    const Word* Option(const char* key);
    // A number of milliseconds from option `key`, or `fallback`.
    unsigned long Millis(const char* key, unsigned long fallback);
    void Done();

private:
    std::string command_;
    const std::vector<Word>& words_;
    std::vector<bool> used_;
    size_t next_ = 0;
};

// A whole number from a script word (decimal or 0x hex); throws Failure naming `what`.
long long ParseNumber(const Word& word, const char* what);
