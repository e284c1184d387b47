#include "HostFacts.h"

#include <cstdlib>
#include <fstream>

namespace hostfacts {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string OnHost(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::map<std::string, std::string> ProcFields(const std::string& unixPath) {
    std::map<std::string, std::string> fields;
    std::ifstream in(OnHost(unixPath));
    std::string line;
    while (std::getline(in, line)) {
        if (Trim(line).empty()) break;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        fields[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
    }
    return fields;
}

std::map<std::string, std::string> Facts() {
    std::map<std::string, std::string> facts;
    std::ifstream in(OnHost(HOST_FACTS_FILE));
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) facts[line.substr(0, equals)] = Trim(line.substr(equals + 1));
    }
    return facts;
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

}  // namespace hostfacts
