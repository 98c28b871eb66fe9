#include "engine/directory.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

// One server text per shared group; the own rows name theirs inline.
const char RipeServer[] = "whois.ripe.net";
const char ComNetServer[] = "whois.verisign-grs.com";
const char IanaReferralServer[] = "whois.iana.org:43";
const char ChannelIslandsServer[] = "whois.gg";
const char AuSuffixServer[] = "whois.audns.net.au";
const char CentralNicServer[] = "whois.centralnic.net";
const char HkSuffixServer[] = "whois.hkirc.hk";
const char SaSuffixServer[] = "whois.nic.net.sa";
const char JpServer[] = "whois.jprs.jp";

// Second-level suffixes, compared with the last two labels of a name.
const ServerEntry SuffixServers[] = {
    {"asn.au", AuSuffixServer},
    {"com.au", AuSuffixServer},
    {"id.au", AuSuffixServer},
    {"net.au", AuSuffixServer},
    {"org.au", AuSuffixServer},
    {"gb.com", CentralNicServer},
    {"gb.net", CentralNicServer},
    {"no.com", CentralNicServer},
    {"se.com", CentralNicServer},
    {"se.net", CentralNicServer},
    {"uk.com", CentralNicServer},
    {"com.hk", HkSuffixServer},
    {"edu.hk", HkSuffixServer},
    {"net.hk", HkSuffixServer},
    {"org.hk", HkSuffixServer},
    {"gov.hk", HkSuffixServer},
    {"com.sa", SaSuffixServer},
    {"edu.sa", SaSuffixServer},
    {"sch.sa", SaSuffixServer},
    {"med.sa", SaSuffixServer},
    {"gov.sa", SaSuffixServer},
    {"net.sa", SaSuffixServer},
    {"org.sa", SaSuffixServer},
    {"pub.sa", SaSuffixServer},
    {"", nullptr},
};

// Top-level domains, in table order (il follows int, pk follows pl).
const ServerEntry TldServers[] = {
    {"ac", "whois.nic.ac"},
    {"ad", RipeServer},
    {"aero", "whois.aero"},
    {"af", "whois.nic.af"},
    {"ag", "whois.nic.ag"},
    {"al", RipeServer},
    {"am", "whois.amnic.net"},
    {"as", "whois.nic.as"},
    {"at", "whois.nic.at"},
    {"au", "whois.auda.org.au"},
    {"az", RipeServer},
    {"ba", RipeServer},
    {"be", "whois.dns.be"},
    {"bg", RipeServer},
    {"biz", "whois.nic.biz"},
    {"br", "whois.registro.br"},
    {"bt", "whois.nic.bt"},
    {"by", RipeServer},
    {"bz", "whois.identitydigital.services"},
    {"ca", "whois.cira.ca"},
    {"cc", "ccwhois.verisign-grs.com"},
    {"cd", "whois.nic.cd"},
    {"ch", "whois.nic.ch"},
    {"ck", "whois.nic.ck"},
    {"cl", "whois.nic.cl"},
    {"cn", "whois.cnnic.cn"},
    {"com", ComNetServer},
    {"coop", "whois.nic.coop"},
    {"cx", "whois.nic.cx"},
    {"cy", RipeServer},
    {"cz", "whois.nic.cz"},
    {"de", "whois.denic.de"},
    {"dk", "whois.punktum.dk"},
    {"do", "whois.nic.do"},
    {"dz", RipeServer},
    {"edu", "whois.educause.edu"},
    {"ee", RipeServer},
    {"eg", RipeServer},
    {"es", RipeServer},
    {"fi", RipeServer},
    {"fj", "www.whois.fj"},
    {"fo", RipeServer},
    {"fr", "whois.nic.fr"},
    {"ga", RipeServer},
    {"gb", RipeServer},
    {"ge", RipeServer},
    {"gg", ChannelIslandsServer},
    {"gl", RipeServer},
    {"gm", RipeServer},
    {"gov", "whois.nic.gov"},
    {"gr", RipeServer},
    {"gs", IanaReferralServer},
    {"hm", "whois.registry.hm"},
    {"hr", RipeServer},
    {"hu", "whois.nic.hu"},
    {"id", "whois.id"},
    {"ie", "whois.weare.ie"},
    {"in", "whois.nixiregistry.in"},
    {"info", "whois.nic.info"},
    {"int", "whois.iana.org"},
    {"il", "whois.isoc.org.il"},
    {"ir", "whois.nic.ir"},
    {"is", "whois.isnic.is"},
    {"it", "whois.nic.it"},
    {"je", ChannelIslandsServer},
    {"jo", RipeServer},
    {"jp", JpServer},
    {"ke", "whois.kenic.or.ke"},
    {"kg", "whois.kg"},
    {"kr", "whois.kr"},
    {"kz", "whois.nic.kz"},
    {"la", "whois.nic.la"},
    {"li", "whois.nic.li"},
    {"lk", "whois.nic.lk"},
    {"lt", "whois.domreg.lt"},
    {"lu", "whois.dns.lu"},
    {"lv", RipeServer},
    {"ma", RipeServer},
    {"mc", RipeServer},
    {"md", RipeServer},
    {"mil", "whois.nic.mil"},
    {"mk", RipeServer},
    {"mm", "whois.registry.gov.mm"},
    {"ms", IanaReferralServer},
    {"mt", RipeServer},
    {"museum", "whois.nic.museum"},
    {"mx", "whois.mx"},
    {"name", "whois.nic.name"},
    {"nc", "whois.nc"},
    {"net", ComNetServer},
    {"ng", "whois.nic.net.ng"},
    {"nl", "whois.domain-registry.nl"},
    {"no", "whois.norid.no"},
    {"nu", "whois.iis.nu"},
    {"nz", "whois.irs.net.nz"},
    {"org", "whois.pir.org"},
    {"pl", "whois.dns.pl"},
    {"pk", "whois.pknic.net.pk"},
    {"pt", "whois.dns.pt"},
    {"ro", "whois.rotld.ro"},
    {"ru", "whois.tcinet.ru"},
    {"se", "whois.iis.se"},
    {"sg", "whois.sgnic.sg"},
    {"sh", "whois.nic.sh"},
    {"si", "whois.register.si"},
    {"sk", RipeServer},
    {"sm", RipeServer},
    {"st", "whois.nic.st"},
    {"su", "whois.ripn.net"},
    {"tc", IanaReferralServer},
    {"tf", IanaReferralServer},
    {"th", "whois.thnic.co.th"},
    {"tj", "whois.nic.tj"},
    {"tk", "whois.dot.tk"},
    {"tm", "whois.nic.tm"},
    {"tn", RipeServer},
    {"to", "whois.tonicregistry.to"},
    {"tr", RipeServer},
    {"tv", "whois.nic.tv"},
    {"tw", "whois.twnic.net.tw"},
    {"ua", "whois.ua"},
    {"uk", "whois.nic.uk"},
    {"us", "whois.nic.us"},
    {"va", RipeServer},
    {"ve", "whois.nic.ve"},
    {"vg", IanaReferralServer},
    {"ws", "whois.website.ws"},
    {"yu", RipeServer},
    {"za", "whois.nic.za"},
    {"", nullptr},
};

const char AddressRegistryServer[] = "whois.arin.net";
const char AbuseContactServer[] = "whois.abuse.net";
const char DefaultWhoisServer[] = "whois.iana.org";

namespace {

const char* Search(const ServerEntry* table, const char* text, size_t length) {
  for (const ServerEntry* e = table; e->Key[0]; ++e)
    if (EqualsIgnoringCase({text, length}, e->Key)) return e->Server;
  return nullptr;
}

}  // namespace

const char* FindWhoisServer(const char* name) {
  const char* lastDot = std::strrchr(name, '.');
  if (!lastDot || lastDot == name) return nullptr;
  const char* tld = lastDot + 1;
  const char* end = tld + std::strlen(tld);

  // Walk back over the second-level label; only a dot before it (a third
  // label, or a leading dot) makes the last two labels a suffix to look up.
  const char* p = lastDot;
  while (p > name && p[-1] != '.') --p;
  if (p > name) {
    if (const char* server = Search(SuffixServers, p, static_cast<size_t>(end - p))) return server;
  }
  return Search(TldServers, tld, static_cast<size_t>(end - tld));
}

TldKind FindTldKind(const char* name, const char** server) {
  const char* found = FindWhoisServer(name);
  if (server) *server = found;
  if (found) return TldKind::Listed;

  const char* lastDot = std::strrchr(name, '.');
  if (!lastDot || lastDot == name) return TldKind::Unknown;
  // The list's keys are lower case and at most 63 characters, as labels are.
  char label[64];
  const char* tld = lastDot + 1;
  size_t n = 0;
  for (; tld[n]; ++n) {
    if (n + 1 >= sizeof label) return TldKind::Unknown;
    label[n] = Lower(tld[n]);
  }
  label[n] = '\0';
  if (n == 0) return TldKind::Unknown;

  const RegistryTld* first = RegistryTlds;
  const RegistryTld* last = RegistryTlds + RegistryTldCount;
  const RegistryTld* row = std::lower_bound(
      first, last, label, [](const RegistryTld& r, const char* key) { return std::strcmp(r.Tld, key) < 0; });
  if (row == last || std::strcmp(row->Tld, label) != 0) return TldKind::Unknown;
  if (server) *server = row->Server;
  return row->Kind;
}
