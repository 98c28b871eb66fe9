// The settings file as the windows see it: options, check marks, recent list
// and output font at start-up; options written back at close.
#pragma once

void LoadSettings();
void SaveSettings();
