#pragma once

// What a module does, in one line, as `morv list` and the README show it.
const char* moduleDescription(int moduleIndex);
