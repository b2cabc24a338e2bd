#pragma once

// The even length with no prime factor above 7 nearest to target (ties go to
// the smaller); base when target <= base. Such lengths factor entirely into
// the transform's dedicated radices.
int chooseTransformLength(int target, int base);
