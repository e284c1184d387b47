// mountex-call VERB LETTER [IMAGE PASSWORD]: one call of Mountex.dll from a process of its own, so
// that a test can see what outlives the caller. The exit code is the function's result.
//   mountex-call mount S C:\path\disk.vlr password
//   mountex-call dismount S
#include <cstring>

#include "Mountex.h"

int main(int argc, char** argv) {
    if (argc == 5 && !std::strcmp(argv[1], "mount")) {
        char password[17] = {};
        std::strncpy(password, argv[4], 16);
        return MountDisk(argv[2][0], argv[3], password, 0);
    }
    if (argc == 3 && !std::strcmp(argv[1], "dismount")) return DisMountDisk(argv[2][0]);
    return 100;
}
