#pragma once
// The settings steps of the start and the end of the program.

// Creates the settings object with its defaults (before the application core exists).
void CreateSettings();
// Loads the settings file; a missing or unreadable file leaves the defaults.
void LoadSettings();
// Brings the settings' installation identifier in line with the installer's.
void SyncInstallGUID();
// Saves the settings silently (the main window's destruction).
void SaveSettings();
// Frees the settings object without saving.
void FreeSettings();
