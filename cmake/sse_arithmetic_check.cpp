// Built with the engine's compile options and run under Wine by
// tests/wine/run_wine_tests.sh. It fails when those options leave
// floating-point arithmetic to the x87 unit: its extended precision rounds
// differently from the native x86-64 build, so the DLL would stop matching
// `morv` (the build options must include -msse2 -mfpmath=sse).
#include <cfloat>
#include <cstdio>

int main() {
  int faults = 0;
  if (FLT_EVAL_METHOD != 0) {
    std::printf("FLT_EVAL_METHOD is %d, not 0: arithmetic runs on the x87 unit\n",
                static_cast<int>(FLT_EVAL_METHOD));
    ++faults;
  }
  // Volatile so that the product is computed at run time. In double
  // arithmetic it rounds to 60 exactly; in extended precision it does not.
  volatile double step = 0.02;
  volatile double count = 3000.0;
  if (!(step * count == 60.0)) {
    std::printf("0.02 * 3000 is not exactly 60: arithmetic runs in extended precision\n");
    ++faults;
  }
  return faults == 0 ? 0 : 1;
}
