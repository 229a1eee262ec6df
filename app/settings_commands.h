// The settings options of the command line (--settings, --set KEY=VALUE...): the keys, defaults
// and rules of the settings dialog, for use without a display.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qs {

class Autostart;
class SettingsStore;

// Prints every key of the settings table as KEY=VALUE, marking the values that equal their
// default. Returns the exit status 0.
int PrintSettings(const SettingsStore& store, std::FILE* out);

// Checks every "KEY=VALUE" first and writes nothing unless all are accepted: keys of the table,
// ReScan 5 to 1500, ConfirmationLevel any integer, switches 0 or 1, PostExecution any text. A
// refusal names what is accepted on `err` and returns 2. AutoRunAtStartup follows the dialog's
// rule: 1 writes the autostart entry for `executable_directory` and forces HideToTray to 1, 0
// removes the entry. Returns 0 when written.
int SetSettings(SettingsStore& store, const std::vector<std::string>& assignments,
                Autostart& autostart, const std::string& executable_directory, std::FILE* out,
                std::FILE* err);

}  // namespace qs
