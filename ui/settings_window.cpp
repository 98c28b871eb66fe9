#include "ui/settings_window.h"

#include <windows.h>
#include <richedit.h>

#include <string>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "ui/recent_list.h"

void LoadSettings() {
  const std::string path = SettingsFilePath();
  LoadSettingsRecord(path.c_str());
  // The items start unchecked in the menu resource; only marks are added here.
  HMENU menu = GetMenu(Ui.Main);
  if (Settings.ResolveDomain) CheckMenuItem(menu, IDM_RESOLVEDOMAINS, MF_BYCOMMAND | MF_CHECKED);
  if (Settings.ReverseIP) CheckMenuItem(menu, IDM_REVERSEIP, MF_BYCOMMAND | MF_CHECKED);
  if (Settings.GetAbuseInfo) CheckMenuItem(menu, IDM_ABUSEINFO, MF_BYCOMMAND | MF_CHECKED);
  if (Settings.PreferRDAP) CheckMenuItem(menu, IDM_PREFERRDAP, MF_BYCOMMAND | MF_CHECKED);
  LoadRecentQueries();
  if (!SendMessageA(Ui.Pane, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&Settings.OutputFormat)))
    ShowMessage(Ui.Main, Messages::FormatRefused);
}

void SaveSettings() {
  const std::string path = SettingsFilePath();
  SaveSettingsRecord(path.c_str());
}
