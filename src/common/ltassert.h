// Contract checks that stay on in every build: a failure prints the
// expression, the source as src/common/conlogger and the line, then aborts.
#pragma once

[[noreturn]] void ltAssertFailed(const char* expression, const char* file, int line);

// The unit name an assertion reports for a source path: the path from its
// top folder (src/, lib/, tests/ ...) without the extension; for a unit
// that moved, its path of the design (src/frontend/datamodel ...).
const char* ltSourceUnit(const char* file, char* out, unsigned outSize);

#define LT_ASSERT(expr) ((expr) ? (void)0 : ltAssertFailed(#expr, __FILE__, __LINE__))
// For a check whose C++ reads differently from the text it reports under.
#define LT_ASSERT_TEXT(expr, text) ((expr) ? (void)0 : ltAssertFailed(text, __FILE__, __LINE__))
