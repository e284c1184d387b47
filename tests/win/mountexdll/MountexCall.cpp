// mountex-call VERB LETTER [IMAGE PASSWORD]: one call of Mountex.dll from a process of its own, so
// that a test can see what outlives the caller. The exit code is the function's result.
//   mountex-call create S C:\path\disk.vlr password      (a 100 MB disk)
//   mountex-call mount S C:\path\disk.vlr password
//   mountex-call dismount S
// It is a GUI program, as Lockvale is: under Wine a process without a console starts Linux programs
// differently from a console one.
#include <cstring>

#include "Mountex.h"

int main(int argc, char** argv) {
    if (argc == 5) {
        char password[17] = {};
        std::strncpy(password, argv[4], 16);
        if (!std::strcmp(argv[1], "create")) return CreateImage(argv[2][0], argv[3], password, 100);
        if (!std::strcmp(argv[1], "mount")) return MountDisk(argv[2][0], argv[3], password, 0);
    }
    if (argc == 3 && !std::strcmp(argv[1], "dismount")) return DisMountDisk(argv[2][0]);
    return 100;
}
