// Marks the spots where GCC 12 reports a false -Wrestrict inside std::string.
//
// At -O3, GCC 12 warns that a memcpy of "9223372036854775810 or more bytes" may overlap when a
// short literal is assigned to a std::string or prepended to a temporary one (GCC bug 105329,
// fixed in GCC 13). The code is correct; only the statements between these two macros are
// excused, and only for GCC 12, so the warning keeps guarding everything else.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#define TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END _Pragma("GCC diagnostic pop")
#else
#define TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
#define TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END
#endif
