#pragma once
// Host programs started from a test under Wine. Wine gives no process handle for a Unix program, so
// nothing can wait on its end directly.
#include <string>

// The host path of a Windows path under Wine; empty elsewhere.
std::string HostPath(const std::string& windowsPath);

// Starts a host program (an absolute Unix path and its arguments) and returns at once: the caller
// waits for what the program makes.
void StartHostProgram(const std::string& commandLine);

// Runs `command` with /bin/sh and waits (up to 30 s) until it has ended: the command says so by
// making a marker file.
void RunHostShell(const std::string& command);
