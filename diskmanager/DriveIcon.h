#pragma once
// Explorer's icon for the secret disk's letter (DiskState().driveLetter): Lockvale.ico from the
// program directory while the disk is open, the system's own icon again once it is closed.
void SetDriveIcon(bool show);
