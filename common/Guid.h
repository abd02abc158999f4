#pragma once

#include <QString>

// A new globally unique identifier in its text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// upper-case hexadecimal digits.
QString CreateNewGUID();
