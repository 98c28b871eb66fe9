// Which link texts may be handed to the shell; portable, so it is tested
// natively.
#pragma once
#include <string>

// The text to open for a link found in a whois reply or the About box, or ""
// when it must not be opened: only http, https and ftp addresses and mailto
// links qualify (a bare "www." address counts as http). Anything else, such
// as a file: link or a path, would run or open local things at a stranger's
// choice.
std::string OpenableLink(const std::string& text);
