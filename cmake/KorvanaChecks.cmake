# The clustering formulas are defined in x87 extended precision: a long double
# with a 64-bit significand. Refuse to build anywhere else rather than produce
# merges that silently differ from the reference behaviour.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles([[
#include <cfloat>
static_assert(LDBL_MANT_DIG == 64, "long double is not x87 extended");
int main() { return 0; }
]] KORVANA_HAS_X87_LONG_DOUBLE)
if(NOT KORVANA_HAS_X87_LONG_DOUBLE)
  message(FATAL_ERROR
    "Korvana needs a long double with a 64-bit significand (x87 extended "
    "precision, as on x86 and x86-64 with GCC). This compiler/platform has a "
    "different long double format, so the clustering results would not be exact.")
endif()
