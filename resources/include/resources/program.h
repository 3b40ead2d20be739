// What names the program: its product name, version and icon. Plain #defines:
// the resource compiler reads this file too (Tidelark.rc), and the about
// screen shows the same version.
#ifndef TIDELARK_RESOURCES_PROGRAM_H
#define TIDELARK_RESOURCES_PROGRAM_H

#define TIDELARK_PRODUCT_NAME "Tidelark"
#define TIDELARK_VERSION_MAJOR 1
#define TIDELARK_VERSION_MINOR 13
#define TIDELARK_VERSION_PATCH 1
#define TIDELARK_VERSION_STRING "1.13.1"

// The program icon (16, 24, 32 and 48 pixels), the first icon of the program file.
#define IDI_TIDELARK 1

#endif
