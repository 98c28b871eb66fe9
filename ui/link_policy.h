// Which link texts may be handed to the shell; portable, so it is tested
// natively.
#pragma once
#include <cstddef>
#include <string>

// The longest link handed to the shell, in bytes.
constexpr size_t MaxLinkLength = 2048;

// The text to open for a link found in a whois reply or the About box, or ""
// when it must not be opened: only http, https and ftp addresses and mailto
// links qualify (a bare "www." address counts as http), and only without
// quotes, blanks or control characters, within MaxLinkLength bytes, and for
// mail without a "?" part. Anything else, such as a file: link or a path,
// would run or open local things at a stranger's choice.
std::string OpenableLink(const std::string& text);
