#pragma once
// The settings sheet's three pages as the view keeps them, in the sheet's order.
#include <string>

#include "ErasureSetupPage.h"
#include "GlobalSetupPage.h"
#include "IEWipeSetupPage.h"

struct SettingsPages {
    SettingsPages(const std::string& iniPath, const std::string& logPath)
        : global(iniPath, logPath), erasure(iniPath), ieWipe(iniPath) {}

    // Page indexes in the sheet.
    static constexpr int kGlobal = 0, kErasure = 1, kIeWipe = 2;

    GlobalSetupPage global;
    ErasureSetupPage erasure;
    IEWipeSetupPage ieWipe;
};
