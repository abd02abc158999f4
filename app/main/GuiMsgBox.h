#pragma once

// Makes the program's message boxes real windows (QMessageBox).
void InstallGuiMsgBox();
