// The run's erase method, read from main.ini at the start of every erase run.
#include "MainIni.h"
#include "WiperView.h"

namespace {

// The lines that set a field of EraseSettings, compared whole and case-sensitively.
struct SettingLine {
    const char* line;
    int32_t EraseSettings::*field;
    int32_t value;
};
const SettingLine kSettingLines[] = {
    {"radio=1", &EraseSettings::pattern, kPattern0000},
    {"radio=2", &EraseSettings::pattern, kPattern1111},
    {"radio=3", &EraseSettings::pattern, kPattern0101},
    {"radio=4", &EraseSettings::pattern, kPattern1010},
    {"radio=5", &EraseSettings::pattern, kPatternNsa},
    {"EraserTimes=1", &EraseSettings::passes, 1},
    {"EraserTimes=2", &EraseSettings::passes, 2},
    {"EraserTimes=3", &EraseSettings::passes, 3},
    {"EraserTimes=4", &EraseSettings::passes, 4},
    {"EraserTimes=5", &EraseSettings::passes, 5},
    {"EraserTimes=6", &EraseSettings::passes, 6},
    {"BufferSize=1", &EraseSettings::bufferBytes, 0x100000},
    {"BufferSize=2", &EraseSettings::bufferBytes, 0x200000},
    {"BufferSize=3", &EraseSettings::bufferBytes, 0x300000},
    {"BufferSize=4", &EraseSettings::bufferBytes, 0x400000},
    {"BufferSize=5", &EraseSettings::bufferBytes, 0x500000},
    {"BufferSize=6", &EraseSettings::bufferBytes, 0x600000},
    {"BufferSize=7", &EraseSettings::bufferBytes, 0x700000},
    {"BufferSize=8", &EraseSettings::bufferBytes, 0x800000},
    {"BufferSize=9", &EraseSettings::bufferBytes, 0x900000},
    {"BufferSize=0", &EraseSettings::bufferBytes, 0xA00000},
};

}  // namespace

bool CWiperView::LoadEraseSettings() {
    // A missing EraserTimes line leaves 0 passes: files are then deleted without an overwrite.
    // Pattern and block size keep what the view held.
    settings.passes = 0;
    return ScanIniLines(iniPath, kIniReadWrite, [this](const std::string& line) {
        for (const SettingLine& entry : kSettingLines) {
            if (line == entry.line) settings.*entry.field = entry.value;
        }
        return true;
    });
}
