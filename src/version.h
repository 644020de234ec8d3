#pragma once

namespace qb {
// The program's version as "major.minor.patch".
const char* versionString();
// The settings version the program writes into Control record 1 (see the
// start-up settings logic): installations below it get their window
// positions and column widths reset once.
constexpr int kSettingsVersion = 420;
}  // namespace qb
