// Which URLs an RDAP request may go to, and how they appear in messages.
#pragma once
#include <cstddef>
#include <string>

// Longer URLs are not asked.
constexpr std::size_t RdapUrlLimit = 2048;

// Empty when `url` may be asked: "https://", a host, at most RdapUrlLimit
// characters, no user information, no blank or control character. Otherwise
// the Error line that says why not (without the user information).
std::string RdapUrlRefusal(const std::string& url);

// `url` with the user information of its authority ("user:secret@") removed.
std::string UrlWithoutUserInfo(const std::string& url);

// The Error line for a redirect from `host` that was not followed because it
// leads to `target`, which is not an https URL (or carries user information).
std::string RedirectRefusal(const std::string& host, const std::string& target);

// The absolute URL that a redirect's Location `reference` names, read against
// the URL it came from (RFC 3986, 5.2): a reference with a scheme stands as it
// is; "//host/..." takes the scheme, "/path" the scheme and authority, "?query"
// the path as well; any other text replaces the last segment of the path. The
// fragment is dropped; dot segments are left to the server.
std::string RedirectTarget(const std::string& base, const std::string& reference);
