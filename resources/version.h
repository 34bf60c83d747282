// The program's version, for the version record and for the code that checks it.
#pragma once

#define KAVLO_VERSION_MAJOR 1
#define KAVLO_VERSION_MINOR 3
#define KAVLO_VERSION_PATCH 0
#define KAVLO_VERSION_BUILD 0
// How the program names its own version: the minor number in two digits.
#define KAVLO_VERSION_TEXT "1.03"

#define KAVLO_PRODUCT_NAME "Kavlo IP Finder"
#define KAVLO_FILE_DESCRIPTION "Kavlo IP Finder EXE"
#define KAVLO_INTERNAL_NAME "KavloIPFinder"
#define KAVLO_EXE_NAME "KavloIPFinder.exe"
// The command-line program's.
#define KAVLO_CLI_FILE_DESCRIPTION "Kavlo IP Finder command line"
#define KAVLO_CLI_INTERNAL_NAME "kavlo-ipfinder"
#define KAVLO_CLI_EXE_NAME "kavlo-ipfinder.exe"
#define KAVLO_COMPANY_NAME "Kavlo"
#define KAVLO_COPYRIGHT "Copyright © 2026 Kavlo"
// The program's web page, which Add/Remove Programs, the signatures and the package managers name.
// A placeholder until the project has one.
#define KAVLO_PROJECT_URL "https://kavlo.example.invalid/ip-finder"
#define KAVLO_PUBLISHER_URL "https://kavlo.example.invalid/"
#define KAVLO_LICENSE_URL "https://kavlo.example.invalid/ip-finder/license"
// The installers' UpgradeCodes, one per architecture and the same for every version: a newer package
// replaces an older one of its architecture, and the 32-bit and 64-bit programs are two products
// that can be installed side by side. Never change them.
#define KAVLO_UPGRADE_CODE_X86 "146FA186-0423-4B47-9CEE-6E3331824E6E"
#define KAVLO_UPGRADE_CODE_X64 "80BDA05D-B1F2-4935-8965-A20304150D3B"
// The Start-menu shortcut's component in each architecture's package. A component keyed by a
// registry value gets no id from a file's path, and the two products must not share one: a shared
// component stays while either product is installed, and with it the other's shortcut. Never
// change them either.
#define KAVLO_SHORTCUT_COMPONENT_X86 "B76F3DEB-4E43-451A-90C9-B48BDC0F25F1"
#define KAVLO_SHORTCUT_COMPONENT_X64 "BC693FD1-5E14-40D7-A09B-EA7BD543412A"
