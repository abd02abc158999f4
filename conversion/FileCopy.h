#pragma once
// Copying a finished file to where the user wants it, safely: the copy is written beside the
// target and renamed over it only when complete, so a failed copy (full disk, read-only folder)
// never leaves half a file and an older file at the target stays whole.

#include <QString>

// True when `target` now holds the bytes of `source`; otherwise `error` (optional) says why.
[[nodiscard]] bool CopyFileReplacing(const QString& source, const QString& target,
                                     QString* error = nullptr);
