// Identifiers of setup.exe's resources, shared by setup.rc and the window
// code. Plain #defines: the resource compiler reads this file too.
#pragma once

#define IDI_SETUP 1      // the program's icon (res/setup.ico)
#define IDB_PICTURE 100  // the header band's picture when the package has none (res/picture.bmp)
