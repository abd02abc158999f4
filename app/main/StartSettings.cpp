#include "app/main/StartSettings.h"

// The settings layer is not part of the program yet: the start runs with built-in values.
void CreateSettings() {}
void LoadSettings() {}
void SyncInstallGUID() {}
void SaveSettings() {}
void FreeSettings() {}
