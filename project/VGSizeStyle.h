#pragma once

// How the output size is chosen: the base size, half of it, a quarter, or a custom size.
enum TSizeStyle { ssOriginal = 0, ssHalf = 1, ssQuarter = 2, ssCustom = 3 };
