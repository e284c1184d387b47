#pragma once
// What the host reports about itself, read under Wine through Z: (the Unix root): /proc/cpuinfo,
// /proc/meminfo and the facts host-facts.sh wrote before the tests.
#include <map>
#include <string>

namespace hostfacts {

// "Z:" and the Unix path with backslashes.
std::string OnHost(const std::string& unixPath);

// "name : value" (cpuinfo) or "name: value kB" (meminfo) lines, up to the first blank line;
// names and values trimmed.
std::map<std::string, std::string> ProcFields(const std::string& unixPath);

// "name=value" lines of the file host-facts.sh wrote.
std::map<std::string, std::string> Facts();

// The number a text starts with; 0 when none.
double Number(const std::string& text);

}  // namespace hostfacts
