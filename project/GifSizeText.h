#pragma once
// File sizes as people type them for an upload limit: "8M", "8MB", "2.5M", "500K", "500kB" (1000
// and 1,000,000 bytes, as upload limits are stated), "8MiB", "500KiB" (1024-based), "1G", or
// plain bytes ("8000000"). Units are case-insensitive and may follow the number with or without a
// space.

#include <QString>
#include <cstdint>
#include <optional>

// The largest size limit taken: far above any GIF, far below an overflow.
constexpr int64_t LargestGifSizeLimit = int64_t(1) << 50;

// The bytes of a size text, rounded down to a whole byte; none for text that is not a size, a
// negative size, or one above LargestGifSizeLimit. "0" reads as 0.
[[nodiscard]] std::optional<int64_t> ParseGifSize(const QString& text);

// The text a user would have typed for `bytes`: "8M", "2.5M", "500K", "8MiB", "700KiB" or plain
// bytes, whichever is exact and shortest (whole numbers first); empty for 0 (no limit).
// ParseGifSize reads it back to the same number.
[[nodiscard]] QString FormatGifSize(int64_t bytes);

// Why `bytes` cannot be a size limit (0 means none and is fine), or empty: a limit must leave
// room for at least the smallest GIF there is.
[[nodiscard]] QString CheckGifSizeLimit(int64_t bytes);
