// The command tail and what it asks for; portable, so the rules are tested
// natively.
#pragma once
#include <string>

// The command line less the program name and the blanks after it.
std::string CommandTailOf(const char* commandLine);

enum class TailRequest { None, Usage, Lookup };
// Nothing (empty or spaces only), the usage box (first non-space is "-"), or a
// lookup of the whole tail.
TailRequest ClassifyCommandTail(const char* tail);
