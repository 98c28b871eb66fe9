// One RDAP query, the counterpart of a whois exchange: banner, HTTPS request,
// the answer shown, the registrar's record noted for the referral step.
#pragma once
#include <string>

class LookupContext;

// Asks `url`. True when an answer came (whatever its status); false after a
// failure or a cancel, already reported. `related` (if given) receives the
// registrar's RDAP record that a registry answer links to, or empty.
bool RunRdapExchange(LookupContext& ctx, const std::string& url, std::string* related);

// True when the bootstrap (refreshed first if old) names an RDAP service for
// `object`.
bool RdapServiceKnown(LookupContext& ctx, const std::string& object);

// Asks the RDAP service that the bootstrap names for `object` (a domain, an
// address or prefix, or "AS" and a number). False with an Error line when no
// service is known.
bool RunRdapQuery(LookupContext& ctx, const std::string& object, std::string* related);
