#pragma once
// The messages of the "Outlook Mail" format, shared by the import set-up
// (which checks the data file before a run), the converter (which opens it)
// and the front ends.

namespace qb::import::outlook {

// No data file, or one that cannot be read.
inline constexpr const char* kNotInitialized = "Fatal error. Outlook cannot be initialized.";
// A file that is no usable Outlook data file (foreign, damaged, truncated).
inline constexpr const char* kCannotRun = "Outlook cannot be run";
inline constexpr const char* kFoldersGone = "Selected Outlook folders no longer exist.";
// What the import window and the folder list show when no data file is given.
inline constexpr const char* kNotInstalled = "Outlook Is Not Installed";
inline constexpr const char* kNoDataFile = "No Outlook data file (.pst or .ost) was given.";

}  // namespace qb::import::outlook
